"""A test served to a class by the program, on this computer only, with its
results journal in a folder of its own; stdlib only."""

import csv
import io
import json
import os
import signal
import subprocess
import tempfile
import urllib.error
import urllib.request

PROGRAM = os.environ["QV_PROGRAM"]
SEP = "\x05"


def write_test(path, questions, captions, points, messages):
    lines = ["Info=(%d%s%d%s1)" % (len(questions), SEP, len(captions), SEP),
             "Title=(Класс%sУчитель%sОкно)" % (SEP, SEP),
             "Buttons=(%s)" % SEP.join(captions), "Questions:", *questions,
             "Variants: none", "Numbers:", *["".join(p + "," for p in row) for row in points],
             "Message:", *messages]
    with open(path, "wb") as f:
        f.write(b"".join(line.encode("cp1251") + b"\r\n" for line in lines))
    return path


class Served:
    """`quorvane --serve` on 127.0.0.1 and a free port; the address is the
    first line it prints."""

    def __init__(self, test, journal=None):
        self.journal = journal or tempfile.mkdtemp(prefix="qv-class-journal-")
        self.process = subprocess.Popen(
            [PROGRAM, "--serve", test, "--port", "0", "--loopback", "--journal", self.journal],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
            env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        self.url = self.process.stdout.readline().strip()
        if not self.url.startswith("http://127.0.0.1:"):
            raise AssertionError("no address: " + self.url + self.process.stderr.read())
        self.port = int(self.url.rsplit(":", 1)[1].strip("/"))

    def stop(self):
        """SIGTERM, as a teacher's Ctrl+C; returns the exit status and what it said."""
        self.process.send_signal(signal.SIGTERM)
        _, err = self.process.communicate(timeout=20)
        return self.process.returncode, err

    def request(self, method, path, body=None):
        """(status, JSON) of a request; `body` is sent as JSON unless it is bytes."""
        data = body if isinstance(body, bytes) or body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.url.rstrip("/") + path, data=data, method=method)
        try:
            with urllib.request.urlopen(request, timeout=10) as response:
                return response.status, json.loads(response.read() or b"null")
        except urllib.error.HTTPError as e:
            return e.code, json.loads(e.read() or b"null")

    def page(self):
        with urllib.request.urlopen(self.url, timeout=10) as response:
            return response.read().decode("utf-8"), dict(response.headers)


def journal_rows(folder):
    """The records of the journal in `folder`, as the program exports them."""
    done = subprocess.run([PROGRAM, "--journal-export", folder], capture_output=True,
                          env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    return list(csv.DictReader(io.StringIO(done.stdout.decode("utf-8-sig"))))
