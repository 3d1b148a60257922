#!/usr/bin/env python3
"""Writes the seed corpus of the loader's fuzz target into fuzz/corpus/.

Every seed is a test file as the program reads it: Windows-1251 bytes, lines
ended by CR LF unless a seed is about line ends, 0x05 between the fields of
the header lines. The worked example of the format is copied from
tests/data/worked_example.tst, where the tests keep it, and two seeds are
made from it with the other variant modes. Run it again after changing a
seed; the files are kept in the repository, so the fuzzer does not need
Python.
"""
from pathlib import Path

SEP = "\x05"
HERE = Path(__file__).resolve().parent
OUT = HERE / "corpus"
WORKED_EXAMPLE = HERE.parent / "tests" / "data" / "worked_example.tst"


def test_file(lines, end="\r\n"):
    return "".join(line + end for line in lines).encode("cp1251")


def with_variant_mode(mode):
    """The worked example (two questions, three buttons, every question with
    its own variants) with variant mode 1 or 2: the Info line, the variants
    header and the variant lines as that mode has them."""
    lines = WORKED_EXAMPLE.read_bytes().decode("cp1251").split("\r\n")
    assert lines[-1] == "", "the worked example ends with CR LF"
    lines = lines[:-1]
    questions, buttons, _ = lines[0][len("Info=("):-1].split(SEP)
    lines[0] = f"Info=({questions}{SEP}{buttons}{SEP}{mode})"
    first, numbers = lines.index("Variants: all"), lines.index("Numbers:")
    header = {1: "Variants: none", 2: "Variants: use only one"}[mode]
    variants = {1: [], 2: lines[first + 1 : first + 1 + int(buttons)]}[mode]
    return lines[:first] + [header] + variants + lines[numbers:]


def seeds():
    yield "worked_example.tst", WORKED_EXAMPLE.read_bytes()
    yield "one_variant_set.tst", test_file(with_variant_mode(2))
    yield "no_variants.tst", test_file(with_variant_mode(1))

    # What a save writes when it drops the only question.
    yield "no_questions.tst", test_file([
        f"Info=(0{SEP}2{SEP}2)",
        f"Title=(Пусто{SEP}{SEP})",
        f"Buttons=(Да{SEP}Нет)",
        "Questions:",
        "Variants: use only one",
        "Первый",
        "Второй",
        "Numbers:",
        "Message:",
        "=0-0",
        "Ничего",
        "$",
    ])

    # ")" inside the title, an empty caption, a seventh field, numbers with
    # blanks and a hexadecimal prefix, a points value with "," inside and a
    # value carried over a line end, and a second "Message:" among messages.
    yield "header_quirks.tst", test_file([
        f"Info=( 3{SEP}$4{SEP}3)",
        f"Title=(Тест (часть 1){SEP}Неизвестен{SEP}Проверка)",
        f"Buttons=(А{SEP}{SEP}В{SEP}Г{SEP}Д{SEP}Е{SEP}Ж)",
        "Questions:",
        "Первый",
        "",
        "Третий (последний)",
        "Variants: all",
        *[f"Вариант {q}.{b}" for q in range(1, 4) for b in range(1, 5)],
        "Numbers:",
        "1,-2, 3,0x10,5,1,2",
        "5,$ff,x1,0,1,2,3,",
        "Message:",
        "=-10-10",
        "Message:",
        "=11-100",
        "Много",
        "$",
    ])

    # Forty questions of six two-character values: the points lines break
    # after every twelfth question.
    yield "long_points.tst", test_file([
        f"Info=(40{SEP}6{SEP}1)",
        f"Title=(Длинный{SEP}Автор{SEP}Окно)",
        "Buttons=(" + SEP.join(str(b) for b in range(1, 7)) + ")",
        "Questions:",
        *[f"Вопрос {q}" for q in range(1, 41)],
        "Variants: none",
        "Numbers:",
        *["".join(f"{b}{b}," for b in range(1, 7)) * n for n in (12, 12, 12, 4)],
        "Message:",
        "=0-10000",
        "Готово",
        "$",
    ])

    # Line ends other than CR LF: a lone CR, a lone LF inside a line, an
    # over-long variant, an unknown variant mode and 0x1A ending the file
    # before its last bytes.
    yield "odd_line_ends.tst", (
        f"Info=(2{SEP}2{SEP}7)\r"
        f"Title=(Концы строк{SEP}Автор{SEP}Окно)\r\n"
        f"Buttons=(Да{SEP}Нет)\r\n"
        "Questions:\r\n"
        "Первая строка\nпродолжение\r\n"
        "Второй\r\r\n"
        "Variants: all\r\n"
        + "Д" * 100 + "\r\n"
        "Нет\r\n"
        "Три\r\n"
        "Numbers:\r\n"
        "1,2,3,4,\r\n"
        "Message:\r\n"
        "=0-100\r\n"
        "Текст\x1aпосле конца\r\n"
        "$\r\n"
    ).encode("cp1251")

    # The reader takes the file in 64 KiB pieces: here the CR LF after the
    # long first question is split between the first piece and the second.
    head = test_file([
        f"Info=(2{SEP}2{SEP}3)",
        f"Title=(Граница{SEP}Автор{SEP}Окно)",
        f"Buttons=(Да{SEP}Нет)",
        "Questions:",
    ])
    chunk = 64 * 1024
    pad = "Длинный вопрос. ".encode("cp1251")
    first_question = (pad * (chunk // len(pad) + 1))[: chunk - 1 - len(head)]
    yield "piece_boundary.tst", head + first_question + b"\r\n" + test_file([
        "Второй",
        "Variants: all",
        "А", "Б", "В", "Г",
        "Numbers:",
        "1,2,3,4,",
        "Message:",
        "=0-10",
        "$",
    ])

    # A points section that never reaches "Message:".
    yield "no_message_header.tst", test_file([
        f"Info=(1{SEP}1{SEP}1)",
        f"Title=(Обрыв{SEP}{SEP})",
        "Buttons=(Да)",
        "Questions:",
        "Один",
        "Variants: none",
        "Numbers:",
        "5,",
        "=0-5",
    ])


def main():
    OUT.mkdir(exist_ok=True)
    for name, data in seeds():
        (OUT / name).write_bytes(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
