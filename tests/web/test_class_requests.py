"""Requests a faulty or hostile client sends to a class's server: each is
refused without touching a pupil's run, and the pupil's record comes out as
the presses made it. Everything goes to 127.0.0.1."""

import json
import os
import socket
import tempfile
import unittest

from classroom import Served, journal_rows, write_test

MIB = 1 << 20


def raw(port, data, source="127.0.0.1"):
    """Sends bytes as they are, from `source`; returns the status code (0: none)."""
    with socket.create_connection(("127.0.0.1", port), timeout=10,
                                  source_address=(source, 0)) as s:
        try:
            s.sendall(data)
            reply = s.recv(200)
        except OSError:
            return 0
    return int(reply.split(b" ")[1]) if reply.startswith(b"HTTP/") else 0


class HostileRequests(unittest.TestCase):
    def test_each_request_is_refused_and_the_run_goes_on(self):
        folder = tempfile.mkdtemp(prefix="qv-class-")
        test = write_test(os.path.join(folder, "t.tst"), ["Один?", "Два?", "Три?"],
                          ["Да", "Нет"], [["1", "0"]] * 3,
                          ["=0-1", "Мало.", "=2-3", "Много.", "$"])
        served = Served(test)
        _, victim = served.request("POST", "/api/start", {"name": "Ученик"})
        token = victim["token"]
        _, other = served.request("POST", "/api/start", {"name": "Другой"})
        guessed = token[:-1] + ("0" if token[-1] != "0" else "1")
        answer = lambda q, b, t=token: served.request(
            "POST", "/api/answer", {"token": t, "question": q, "button": b})
        answer(1, 1)
        idle = []
        # name, request, expected status, questions the victim has answered after it.
        cases = [
            ("a token nobody was given", lambda: answer(2, 1, guessed)[0], 404, 1),
            ("another pupil's run is reached only by its own token",
             lambda: answer(1, 2, other["token"])[0], 200, 1),
            ("a state without a token", lambda: served.request("GET", "/api/state")[0], 404, 1),
            ("a retried press counts once", lambda: answer(1, 2)[0], 200, 1),
            ("a press for a question not yet up", lambda: answer(3, 1)[0], 409, 1),
            ("a button the test does not show", lambda: answer(2, 7)[1]["answered"], 1, 1),
            ("malformed JSON", lambda: served.request("POST", "/api/answer", b"{token:")[0], 400, 1),
            ("a question given as text", lambda: served.request(
                "POST", "/api/answer", {"token": token, "question": "2", "button": 1})[0], 400, 1),
            ("an empty name", lambda: served.request("POST", "/api/start", {"name": " "})[0], 400, 1),
            ("a name of 1 kB", lambda: served.request(
                "POST", "/api/start", {"name": "я" * 500})[0], 400, 1),
            ("a body of 1 MB", lambda: raw(served.port, b"POST /api/answer HTTP/1.1\r\nHost: x\r\n"
                                           b"Content-Length: %d\r\n\r\n" % MIB + b"x" * 65536), 413, 1),
            ("a body of 1 MB in chunks", lambda: raw(
                served.port, b"POST /api/start HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
                + (b"10000\r\n" + b"x" * 65536 + b"\r\n") * 16 + b"0\r\n\r\n"), 413, 1),
            ("an unknown path", lambda: served.request("GET", "/api/list")[0], 404, 1),
            ("a path out of the page", lambda: raw(
                served.port, b"GET /../../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n"), 404, 1),
            ("an escaped path out of the page", lambda: raw(
                served.port, b"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n"), 404, 1),
            ("a method the server does not take", lambda: served.request("PUT", "/api/answer", b"{}")[0],
             405, 1),
            ("a device that begins run after run is stopped", lambda: [
                served.request("POST", "/api/start", {"name": "Бот"})[0] for _ in range(40)][-1],
             429, 1),
            ("100 idle sockets from one address leave the others served",
             lambda: idle.extend(socket.create_connection(("127.0.0.1", served.port),
                                                         source_address=("127.0.0.3", 0))
                                 for _ in range(100)) or raw(
                served.port, b"GET /api/state?token=%s HTTP/1.1\r\nHost: x\r\n\r\n" % token.encode(),
                source="127.0.0.2"), 200, 1),
        ]
        for name, request, status, answered in cases:
            with self.subTest(name):
                self.assertEqual(request(), status)
                self.assertEqual(served.request("GET", "/api/state?token=" + token)[1]["answered"],
                                 answered)
        for s in idle:
            s.close()
        answer(2, 1)
        _, end = answer(3, 2)
        self.assertEqual(end["result"], ["Много."])
        self.assertNotIn("total", end)  # the page is told what the pupil sees, no more
        status, err = served.stop()
        self.assertEqual(status, 0, err)
        rows = journal_rows(served.journal)
        self.assertEqual([(r["Имя"], r["Сумма баллов"], r["Вопрос 1"] + r["Вопрос 2"] + r["Вопрос 3"])
                          for r in rows], [("Ученик", "2", "112")])


if __name__ == "__main__":
    unittest.main(verbosity=2)
