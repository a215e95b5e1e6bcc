#!/usr/bin/env python3
"""Writes the samples of the 20 C04 and finals2000A layouts the tests read.

    tests/data/make_series_samples.py [C04_FILE]

The values are those of the 14 C04 series (default: the copy Debian's
python3-astropy ships), laid out in the other two layouts column by column
as their published descriptions give them:

- c04-20-sample.txt, 2016-07-01 to 2017-04-30: a "#" header, then
  format(4(i4),f10.2,2(f12.6),f12.7,2(f12.6),2(f12.6),f12.7,2(f12.6),f12.7,
  2(f12.6),2(f12.6),f12.7): year, month, day, hour, MJD, x, y, UT1-UTC, dX,
  dY, x rate, y rate, LOD, then the errors of the eight.
- finals2000A-sample.txt, 2016-10-01 to 2017-06-30: yymmdd in 3I2, MJD
  F8.2 in 8-15, Bulletin A's flag in 17, x F9.6 in 19-27 and its error,
  y F9.6 in 38-46 and its error, the flag of UT1-UTC in 58, UT1-UTC F10.7
  in 59-68 and its error, LOD F7.4 (ms) in 80-86 and its error, the flag
  of nutation in 96, dX and dY F9.3 (mas) with errors in 98-134, Bulletin B's
  x, y F10.6, UT1-UTC F11.7, dX, dY F10.3 in 135-185. Observed (I) to
  2017-04-11, x and y predicted (P) from 2017-04-12, UT1-UTC from
  2017-04-15; Bulletin B only on observed days; from 2017-06-21 no
  Bulletin A values (a date and MJD only, as at the far end of the
  predictions).

Both cross the leap second at the end of 2016 and a year end.
"""
import datetime
import pathlib
import sys

C04 = pathlib.Path("/usr/lib/python3/dist-packages/astropy/utils/iers/data/eopc04_IAU2000.62-now")
HERE = pathlib.Path(__file__).resolve().parent


def days_of(c04):
    days = {}
    for line in c04.read_text().splitlines():
        f = line.split()
        if len(f) == 16 and f[0].isdigit():
            days[datetime.date(int(f[0]), int(f[1]), int(f[2]))] = (int(f[3]), f[4:])
    return days


def span(first, last):
    day = first
    while day <= last:
        yield day
        day += datetime.timedelta(days=1)


def c04_20(days):
    lines = [
        "# EARTH ORIENTATION PARAMETERS - INTERNATIONAL EARTH ROTATION AND REFERENCE SYSTEMS "
        "SERVICE (a sample for the tests)",
        "# EOP (IERS) 20 C04 TIME SERIES  consistent with ITRF 2020 - sampled at 0h UTC",
        "# Reference Precession-Nutation Model: IAU 2000",
        "# format(4(i4),f10.2,2(f12.6),f12.7,2(f12.6),2(f12.6),f12.7,2(f12.6),f12.7,2(f12.6),"
        "2(f12.6),f12.7)",
        "# YR  MM  DD  HH       MJD        x(\")        y(\")  UT1-UTC(s)       dX(\")      dY(\")"
        "       xrt(\")      yrt(\")      LOD(s)        x Er        y Er  UT1-UTC Er      dX Er"
        "       dY Er       xrt Er      yrt Er      LOD Er",
    ]
    for day in span(datetime.date(2016, 7, 1), datetime.date(2017, 4, 30)):
        mjd, v = days[day]
        x, y, ut1, lod, dx, dy, xe, ye, ue, le, dxe, dye = (float(t) for t in v)
        lines.append(f"{day.year:4d}{day.month:4d}{day.day:4d}{0:4d}{mjd:10.2f}{x:12.6f}{y:12.6f}"
                     f"{ut1:12.7f}{dx:12.6f}{dy:12.6f}{0.0:12.6f}{0.0:12.6f}{lod:12.7f}{xe:12.6f}"
                     f"{ye:12.6f}{ue:12.7f}{dxe:12.6f}{dye:12.6f}{0.0:12.6f}{0.0:12.6f}{le:12.7f}")
    return lines


def finals(days):
    lines = []
    for day in span(datetime.date(2016, 10, 1), datetime.date(2017, 6, 30)):
        mjd, v = days[day]
        x, y, ut1, lod, dx, dy, xe, ye, ue, le, dxe, dye = (float(t) for t in v)
        head = f"{day.year % 100:2d}{day.month:2d}{day.day:2d} {mjd:8.2f}"
        if day >= datetime.date(2017, 6, 21):
            lines.append(head)
            continue
        pole = "P" if day >= datetime.date(2017, 4, 12) else "I"
        time = "P" if day >= datetime.date(2017, 4, 15) else "I"
        line = (f"{head} {pole} {x:9.6f}{xe:9.6f} {y:9.6f}{ye:9.6f}  {time}{ut1:10.7f}{ue:10.7f}"
                f" {lod * 1000:7.4f}{le * 1000:7.4f}  {pole} {dx * 1000:9.3f}{dxe * 1000:9.3f}"
                f" {dy * 1000:9.3f}{dye * 1000:9.3f}")
        if pole == "I":
            # Bulletin B's columns, the way it writes them: no zero before the point.
            b = f"{x:10.6f}{y:10.6f}{ut1:11.7f}{dx * 1000:10.3f}{dy * 1000:10.3f}"
            line += b.replace(" 0.", "  .").replace("-0.", " -.")
        lines.append(line)
    return lines


def main():
    days = days_of(pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else C04)
    for name, lines in (("c04-20-sample.txt", c04_20(days)),
                        ("finals2000A-sample.txt", finals(days))):
        (HERE / name).write_text("".join(line + "\n" for line in lines))
        print(f"{HERE / name}: {len(lines)} lines")


if __name__ == "__main__":
    main()
