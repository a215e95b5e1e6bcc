#!/usr/bin/env python3
"""Draws what the program does to the shipped example: UT1-TAI, its input
(examples/KW_PVZ.DAT), and UT1-UTC, its output, over 1972-2022.

    examples/plot_example.py [KW_TAI2UTC]

The program (default: build/default/kw_tai2utc) converts the file with the
shipped table; the picture goes to examples/ut1.png. Needs matplotlib
(Debian: python3-matplotlib).
"""
import argparse
import datetime
import pathlib
import subprocess

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

EXAMPLES = pathlib.Path(__file__).resolve().parent


def when(yy, mm, dd):
    year = int(yy) + (1900 if int(yy) > 50 else 2000)
    return datetime.date(year, int(mm), int(dd))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program", nargs="?", default=EXAMPLES.parent / "build/default/kw_tai2utc",
                        help="the program (default: build/default/kw_tai2utc)")
    program = parser.parse_args().program
    data = EXAMPLES / "KW_PVZ.DAT"
    days, ut1_tai = [], []
    for line in data.read_text().splitlines():
        yy, mm, dd, _, _, value = line.split()
        days.append(when(yy, mm, dd))
        ut1_tai.append(float(value))
    run = subprocess.run(
        [str(program), "--table", str(EXAMPLES / "station/run/ls.ini"), str(data)],
        check=True, capture_output=True)
    ut1_utc = [float(record[26:36]) for record in run.stdout.decode("ascii").split("\r\n")[:-1]]

    figure, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(9, 6), dpi=100)
    top.plot(days, ut1_tai, color="tab:blue", linewidth=1)
    top.set_ylabel("UT1-TAI (s)")
    top.set_title("kw_tai2utc on the shipped example: IERS EOP 14 C04, 1972-2022")
    top.text(0.99, 0.9, "input: KW_PVZ.DAT, a smooth drift", transform=top.transAxes,
             ha="right", va="top")
    bottom.plot(days, ut1_utc, color="tab:red", linewidth=1)
    bottom.set_ylabel("UT1-UTC (s)")
    bottom.text(0.99, 0.97, "output: the drift plus TAI-UTC, a step of 1 s\n"
                "at each of the 27 leap seconds",
                transform=bottom.transAxes, ha="right", va="top")
    for axes in (top, bottom):
        axes.grid(True, linewidth=0.3)
    figure.tight_layout()
    target = EXAMPLES / "ut1.png"
    figure.savefig(target)
    print(f"{target}: {len(days)} days")


if __name__ == "__main__":
    main()
