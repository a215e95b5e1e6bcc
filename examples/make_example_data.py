#!/usr/bin/env python3
"""Rebuilds examples/KW_PVZ.DAT from the published IERS EOP 14 C04 series.

    examples/make_example_data.py [C04_FILE] [KW_TAI2UTC]

Defaults: the copy Debian's python3-astropy ships,
astropy/utils/iers/data/eopc04_IAU2000.62-now, and the program built by
the default preset, build/default/kw_tai2utc. Every day from 1 January 1972
to the end of the series becomes one record, with single blanks and CR LF:

    yy mm dd x y UT1-TAI

the date with two-digit fields and the pole coordinates x and y
(arcseconds) exactly as published. The series gives UT1-UTC (7 decimals),
read here to the six decimals of the program's field (ties to even); the
program itself, run as `kw_tai2utc --reverse` with the shipped table
examples/station/run/ls.ini, subtracts TAI-UTC from it, and its third
column is UT1-TAI. The program's conversion of the file gives back the
published UT1-UTC to the sixth decimal. Every record fits the 38 columns
the program reads.
"""
import argparse
import pathlib
import subprocess
import sys
import tempfile

DATA = pathlib.Path("/usr/lib/python3/dist-packages/astropy/utils/iers/data")
EXAMPLES = pathlib.Path(__file__).resolve().parent


def six_decimals(text):
    """A published value of 7 decimals, read to 6 with ties to even."""
    negative = text.startswith("-")
    whole, _, decimals = text.lstrip("+-").partition(".")
    units = int(whole) * 10**7 + int(decimals.ljust(7, "0")[:7])
    quotient, rest = divmod(units, 10)
    if rest > 5 or (rest == 5 and quotient % 2 == 1):
        quotient += 1
    sign = "-" if negative and quotient else ""
    return f"{sign}{quotient // 10**6}.{quotient % 10**6:06d}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("c04", nargs="?", type=pathlib.Path, default=DATA / "eopc04_IAU2000.62-now",
                        help="the published C04 series (default: python3-astropy's copy)")
    parser.add_argument("program", nargs="?", default=EXAMPLES.parent / "build/default/kw_tai2utc",
                        help="the program (default: build/default/kw_tai2utc)")
    arguments = parser.parse_args()
    c04, program = arguments.c04, arguments.program
    dates, poles, ut1_utc = [], [], []
    for line in c04.read_text().splitlines():
        fields = line.split()
        if len(fields) < 7 or not fields[0].isdigit() or int(fields[0]) < 1972:
            continue
        year, month, day = (int(f) for f in fields[:3])
        dates.append(f"{year % 100:02d} {month:02d} {day:02d}")
        poles.append(f"{fields[4]} {fields[5]}")
        ut1_utc.append(six_decimals(fields[6]))
    with tempfile.TemporaryDirectory() as work:
        series = pathlib.Path(work) / "ut1-utc.txt"
        series.write_text("".join(f"{d} 0 0 {u}\n" for d, u in zip(dates, ut1_utc)))
        run = subprocess.run(
            [str(program), "--table", str(EXAMPLES / "station/run/ls.ini"), "--reverse", str(series)],
            check=True, capture_output=True)
    converted = run.stdout.decode("ascii").split("\r\n")[:-1]
    if len(converted) != len(dates):
        sys.exit(f"{program} gave {len(converted)} records for {len(dates)}")
    out = []
    for date, pole, record in zip(dates, poles, converted):
        line = f"{date} {pole} {record[26:].strip()}"
        if len(line) > 38:
            sys.exit(f"{date}: the record does not fit 38 columns: {line}")
        out.append(line + "\r\n")
    target = EXAMPLES / "KW_PVZ.DAT"
    target.write_bytes("".join(out).encode("ascii"))
    print(f"{target}: {len(out)} records")


if __name__ == "__main__":
    main()
