#!/usr/bin/env python3
"""Rebuilds examples/KW_PVZ.DAT from the published IERS EOP 14 C04 series.

    examples/make_example_data.py [C04_FILE] [KW_TAI2UTC]

Defaults: the copy Debian's python3-astropy ships,
astropy/utils/iers/data/eopc04_IAU2000.62-now, and the program built by
the default preset, build/default/kw_tai2utc. The program itself reads the
series and makes its records:

    kw_tai2utc --table examples/station/run/ls.ini --reverse C04_FILE

each day's record holding x and y rounded to five decimals and UT1-TAI,
the published UT1-UTC less TAI-UTC of that day, rounded to six (37 columns
and CR LF). The example keeps the days from 1 January 1972, where the
shipped table begins, to the end of the series: the records as the
program wrote them, byte for byte.
"""
import argparse
import pathlib
import subprocess
import sys

DATA = pathlib.Path("/usr/lib/python3/dist-packages/astropy/utils/iers/data")
EXAMPLES = pathlib.Path(__file__).resolve().parent
FIRST = b"72 01 01 "  # the first day of the shipped table


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("c04", nargs="?", type=pathlib.Path, default=DATA / "eopc04_IAU2000.62-now",
                        help="the published 14 C04 series (default: python3-astropy's copy)")
    parser.add_argument("program", nargs="?", default=EXAMPLES.parent / "build/default/kw_tai2utc",
                        help="the program (default: build/default/kw_tai2utc)")
    arguments = parser.parse_args()
    run = subprocess.run(
        [str(arguments.program), "--table", str(EXAMPLES / "station/run/ls.ini"), "--reverse",
         str(arguments.c04)],
        check=True, capture_output=True)
    records = run.stdout
    start = records.find(b"\r\n" + FIRST)
    if not records.startswith(FIRST):
        if start < 0:
            sys.exit(f"{arguments.c04}: no record of 1 January 1972")
        records = records[start + 2:]
    target = EXAMPLES / "KW_PVZ.DAT"
    target.write_bytes(records)
    count = records.count(b"\r\n")
    print(f"{target}: {count} records")


if __name__ == "__main__":
    main()
