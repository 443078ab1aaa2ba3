#!/usr/bin/env python3
"""Kills a weighing station (the test suite's station_child: the real main
window, real files, print jobs recorded in a synced file) with SIGKILL at
random moments of printing, restarts it, and counts what a crash did.

    QT_QPA_PLATFORM=offscreen tests/windows/kill_campaign.py \
        build/tests/windows/station_child [rounds=300] [seed=20] [pause=1.2]

Each round books a few weighings (now and then a long ticket of 1500 to
3000 rows), each with a description of its own (letters: a typed digit books), waits as an
operator would before pressing Print (up to `pause` seconds; 0 presses it
at once, while the ticket of the last bookings may still be on its way to
the disk), presses Print and kills the station after a random delay within
the time a print takes. The next start
answers a question about a ticket that may have been printed at random with
"keep" (and prints the kept ticket again at once, as an operator who doubts
would) or "drop". Counted:

  kills, bookings, prints completed before the kill
  rows lost:      booked, neither back on screen nor on paper, and not
                  dropped by the operator at the question; a row that comes
                  back without its description typed a moment before the
                  kill is counted apart (typed text is a second behind)
  returned unasked: a ticket whose job reached the printer came back
                  without the question
  asked:          questions, and how many of them were about a ticket
                  whose job had in fact reached the printer
  torn / glued:   lines of the day file that are not whole archive lines,
                  or a file that does not end with CR LF
  archived twice: rows in the day file more than once
  printed, not archived: rows on paper but missing from the day file
"""
import os
import random
import re
import select
import signal
import subprocess
import sys
import tempfile
import time

INI = (b"[zobrazeni]\r\nstalyPrijem=1\r\nsave=1\r\npopis=1\r\nPrintSave=1\r\n"
       b"[popis]\r\ndelka=20\r\n"
       b"[COM]\r\ndevice=/nonexistent/scale\r\ntimeout=0\r\n")
DAY = "data/2026/12/7.dat"
LINE = [
    re.compile(r"^Poř\.číslo  \t\tPopis {16}\t\t   Hmotnost$"),
    re.compile(r"^\d+ +\t\t(r[a-j]+)? +\t\t   0,000 kg$"),
    re.compile(r"^Celkem \d+ *\t\t {21}\t\t {7}0 kg$"),
    re.compile(r"^Dne: 7\.12\.2026  21:05:09$"),
]


class Station:
    def __init__(self, program, folder, answer):
        self.proc = subprocess.Popen([program, folder, answer], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.buffer = b""

    def send(self, lines):
        self.proc.stdin.write("".join(l + "\n" for l in lines).encode())
        self.proc.stdin.flush()

    def replies(self, count, timeout=120):
        """Reads `count` answers; returns the lines printed before each "done"."""
        out, current = [], []
        end = time.monotonic() + timeout
        while len(out) < count:
            while b"\n" in self.buffer:
                line, self.buffer = self.buffer.split(b"\n", 1)
                if line == b"done":
                    out.append(current)
                    current = []
                    if len(out) == count:
                        return out
                else:
                    current.append(line.decode())
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.proc.stdout], [], [], left)[0]:
                raise RuntimeError("the station does not answer")
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                raise RuntimeError("the station ended")
            self.buffer += chunk
        return out

    def command(self, line):
        self.send([line])
        return self.replies(1)[0]

    def kill(self):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGKILL)
        self.proc.wait()
        self.proc.stdin.close()
        self.proc.stdout.close()


def descriptions(dump):
    return [row.split("|")[2] for row in dump[1:-1]]


def jobs(folder):
    try:
        with open(os.path.join(folder, "jobs"), encoding="utf-8") as f:
            return [set(re.findall(r"\tr([a-j]+) ", line)) for line in f]
    except FileNotFoundError:
        return []


def check_archive(folder):
    """Returns (torn or glued lines, rows more than once, rows in the file)."""
    try:
        with open(os.path.join(folder, DAY), "rb") as f:
            data = f.read()
    except FileNotFoundError:
        return 0, 0, set()
    bad = 0 if not data or data.endswith(b"\r\n") else 1
    seen, twice = set(), 0
    for raw in data.split(b"\r\n")[:-1]:
        line = raw.decode("cp1250", errors="replace")
        if not any(p.match(line) for p in LINE):
            bad += 1
        for r in re.findall(r"\tr([a-j]+) ", line):
            twice += r in seen
            seen.add(r)
    return bad, twice, seen


def main():
    program = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    pause = float(sys.argv[4]) if len(sys.argv) > 4 else 1.2
    rng = random.Random(seed)
    folder = tempfile.mkdtemp(prefix="kill-campaign-")
    with open(os.path.join(folder, "vaznilistek.ini"), "wb") as f:
        f.write(INI)

    n = {k: 0 for k in ("kills", "bookings", "completed", "lost", "dropped", "unasked",
                        "asked", "asked_printed", "restored", "emptied", "torn", "twice",
                        "unarchived", "long", "invented", "described_late", "torn_found")}
    stages = {}
    ticket = []   # descriptions the ticket on screen holds, in order
    next_row = 1
    print_time = 0.05

    station = Station(program, folder, "keep")
    station.replies(0)
    for round_ in range(rounds):
        if rng.random() < 0.04:
            count = rng.randint(1500, 3000)
            n["long"] += 1
        else:
            count = rng.randint(1, 5)
        commands = []
        for _ in range(count):
            # Letters only: a typed digit would book a weighing of its own.
            name = "r" + str(next_row).translate(str.maketrans("0123456789", "abcdefghij")) + " "
            commands += ["ok", "type " + name]
            ticket.append(name)
            next_row += 1
        station.send(commands)
        station.replies(len(commands))
        n["bookings"] += count

        if pause > 0:
            time.sleep(rng.uniform(pause / 4, pause))
        printed_before = len(jobs(folder))
        started = time.monotonic()
        station.send(["print"])
        delay = rng.uniform(0, 0.9 * print_time * (1 + count / 400))
        finished = select.select([station.proc.stdout], [], [], delay)[0] and \
            b"done" in os.read(station.proc.stdout.fileno(), 65536)
        if finished:
            print_time = 0.8 * print_time + 0.2 * (time.monotonic() - started) / (1 + count / 400)
            n["completed"] += 1
        station.kill()
        n["kills"] += 1
        # Where the kill landed, as the files tell it before the next start.
        try:
            with open(os.path.join(folder, "vaznilistek.tisk"), "rb") as f:
                stage = re.search(rb"\nstav (\w+)\n", f.read()).group(1).decode()
        except (FileNotFoundError, AttributeError):
            stage = "none"
        stages[stage] = stages.get(stage, 0) + 1
        try:
            with open(os.path.join(folder, DAY), "rb") as f:
                day = f.read()
            n["torn_found"] += bool(day) and not day.endswith(b"\r\n")
        except FileNotFoundError:
            pass

        answer = "keep" if rng.random() < 0.5 else "drop"
        station = Station(program, folder, answer)
        asked = station.command("questions")
        back = descriptions(station.command("dump"))
        new_jobs = jobs(folder)[printed_before:]
        on_paper = {r for job in new_jobs for r in job}
        mine = {t.strip()[1:] for t in ticket if t.strip()}
        reached = bool(mine) and mine <= on_paper
        if asked:
            n["asked"] += 1
            n["asked_printed"] += reached
        if back:
            n["restored"] += 1
            if reached and not asked:
                n["unasked"] += 1
        else:
            n["emptied"] += 1
        lost_before = n["lost"]
        if back:
            n["lost"] += max(0, len(ticket) - len(back))
            n["invented"] += max(0, len(back) - len(ticket))
            # Typed text reaches the file about a second behind: a kill just
            # after typing can cost the last description, never the row.
            n["described_late"] += sum(1 for a, b in zip(ticket, back) if a != b)
        elif not reached:
            n["dropped" if asked and answer == "drop" else "lost"] += len(ticket)
        if n["lost"] != lost_before:
            print("round %d: booked %d, back %d, asked %s, on paper %s, delay %.1f ms, print "
                  "finished %s" % (round_, len(ticket), len(back), bool(asked), reached,
                                   delay * 1000, bool(finished)), flush=True)
        ticket = back
        if asked and answer == "keep" and back:
            station.command("print")  # the doubting operator prints it again
            ticket = []

        bad, twice, archived = check_archive(folder)
        n["torn"] = bad
        n["twice"] = twice
        every_job = {r for job in jobs(folder) for r in job}
        n["unarchived"] = len(every_job - archived)
        if (round_ + 1) % 25 == 0:
            print("after %d rounds: %s" % (round_ + 1, n), flush=True)
    station.kill()
    print("folder:", folder)
    print("kills %(kills)d, bookings %(bookings)d (%(long)d long tickets), prints completed "
          "before the kill %(completed)d" % n)
    print("rows lost %(lost)d, rows that were never booked %(invented)d, rows dropped by the "
          "operator's answer %(dropped)d, descriptions typed just before the kill and not "
          "yet on disk %(described_late)d" % n)
    print("tickets returned without asking %(unasked)d; questions %(asked)d, of which the job "
          "had reached the printer %(asked_printed)d" % n)
    print("starts with the ticket back %(restored)d, with an empty ticket %(emptied)d" % n)
    print("journal at the kill: %s (none: before a print's first record or after its "
          "last; neodeslano: no job yet; odesila: a job going out; odeslano: the job taken)"
          % stages)
    print("day files torn by a kill %(torn_found)d, cut back at the next start" % n)
    print("torn or glued lines %(torn)d, rows archived twice %(twice)d, rows printed but not "
          "archived %(unarchived)d" % n)


if __name__ == "__main__":
    main()
