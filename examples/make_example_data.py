#!/usr/bin/env python3
"""Rebuilds examples/KW_PVZ.DAT from the published IERS EOP 14 C04 series.

    examples/make_example_data.py [C04_FILE] [LEAP_SECOND_TABLE]

Defaults: the copies Debian's python3-astropy ships,
astropy/utils/iers/data/eopc04_IAU2000.62-now and Leap_Second.dat (the IERS
table of TAI-UTC). Every day from 1 January 1972 to the end of the series
becomes one record, with single blanks and CR LF:

    yy mm dd x y UT1-TAI

the date with two-digit fields, the pole coordinates x and y (arcseconds)
exactly as published, and UT1-TAI = UT1-UTC - (TAI-UTC) in seconds: UT1-UTC
rounded to six decimals (ties to even), less the whole seconds of TAI-UTC in
force that day, so that the program's conversion gives back the published
UT1-UTC to the sixth decimal. Every record fits the 38 columns the program
reads.
"""
import pathlib
import sys

DATA = pathlib.Path("/usr/lib/python3/dist-packages/astropy/utils/iers/data")


def leap_table(path):
    """(MJD, TAI-UTC) of each change, in order."""
    table = []
    for line in path.read_text().splitlines():
        fields = line.split()
        if not fields or fields[0].startswith("#"):
            continue
        table.append((int(float(fields[0])), int(fields[4])))
    return table


def micro(text):
    """A decimal with 7 decimals as an integer number of 10^-7, rounded to
    10^-6 with ties to even: the result in 10^-6."""
    negative = text.startswith("-")
    whole, _, decimals = text.lstrip("+-").partition(".")
    units = int(whole) * 10**7 + int(decimals.ljust(7, "0")[:7])
    quotient, rest = divmod(units, 10)
    if rest > 5 or (rest == 5 and quotient % 2 == 1):
        quotient += 1
    return -quotient if negative else quotient


def fixed6(value):
    sign = "-" if value < 0 else ""
    whole, decimals = divmod(abs(value), 10**6)
    return f"{sign}{whole}.{decimals:06d}"


def main():
    c04 = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else DATA / "eopc04_IAU2000.62-now"
    leaps = leap_table(pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else DATA / "Leap_Second.dat")
    out = []
    for line in c04.read_text().splitlines():
        fields = line.split()
        if len(fields) < 7 or not fields[0].isdigit() or int(fields[0]) < 1972:
            continue
        year, month, day, mjd = (int(f) for f in fields[:4])
        x, y, ut1_utc = fields[4], fields[5], fields[6]
        tai_utc = [dt for start, dt in leaps if start <= mjd][-1]
        record = f"{year % 100:02d} {month:02d} {day:02d} {x} {y} "
        record += fixed6(micro(ut1_utc) - tai_utc * 10**6)
        if len(record) > 38:
            sys.exit(f"{year}-{month}-{day}: the record does not fit 38 columns: {record}")
        out.append(record + "\r\n")
    target = pathlib.Path(__file__).resolve().parent / "KW_PVZ.DAT"
    target.write_bytes("".join(out).encode("ascii"))
    print(f"{target}: {len(out)} records")


if __name__ == "__main__":
    main()
