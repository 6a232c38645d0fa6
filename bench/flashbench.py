#!/usr/bin/env python3
"""Runs flashloader-cli against modemsim on a pseudo-terminal and measures
the job: streaming wall time against the wire-limited time of the same
exchange, lines per second, the time the flasher adds per line, its processor
time by phase and its peak resident memory. Prints a Markdown table; asserts
nothing."""

import argparse
import os
import re
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

LINE_CPS = 11520            # 115200 baud, 10 bits a character
SAMPLE_S = 0.005            # processor-time sampling interval
TRACE = re.compile(r"^modemsim:\s+(\d+\.\d+) (<<|>>) (.*)$")


def unescape(text):
    text = text[:-3] if text.endswith("...") else text
    return re.sub(r"\\(r|n|x[0-9A-F]{2})",
                  lambda m: {"r": "\r", "n": "\n"}.get(m.group(1)) or chr(int(m.group(1)[1:], 16)), text)


def cpu_ns(pid):
    """On-processor time (user + system) of every thread, from the scheduler."""
    total = 0
    try:
        for tid in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
    except (FileNotFoundError, ProcessLookupError, ValueError):
        return None
    return total


def peak_rss_kb(pid):
    """VmHWM: the peak resident set of the program itself. The rusage maxrss
    of a child keeps the high-water mark of the forking Python process."""
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return 0


def cpu_at(samples, t):
    """Processor time at monotonic time t, interpolated between samples."""
    before = [s for s in samples if s[0] <= t]
    after = [s for s in samples if s[0] >= t]
    if not before:
        return samples[0][1]
    if not after:
        return samples[-1][1]
    (t0, c0), (t1, c1) = before[-1], after[0]
    return c0 if t1 == t0 else c0 + (c1 - c0) * (t - t0) / (t1 - t0)


def line_gaps_us(events_path):
    """Per image line after the first: from the return of the last read of
    the serial port before it (the previous answer) to the write of the line."""
    with open(events_path, "rb") as f:
        data = f.read()
    events = [struct.unpack_from("<QiicB6x", data, off) for off in range(0, len(data) - len(data) % 24, 24)]
    serial_fd = next((fd for _, fd, _, kind, first in events if kind == b"W" and first == ord(":")), None)
    gaps, last_read, seen_line = [], None, False
    for t, fd, _, kind, first in events:
        if fd != serial_fd:
            continue
        if kind == b"R":
            last_read = t
        elif first == ord(":"):
            if seen_line and last_read is not None:
                gaps.append((t - last_read) / 1000.0)
            seen_line, last_read = True, None
    return gaps


def run_job(bin_dir, shim, size, paced, erase_ms, keep):
    work = tempfile.mkdtemp(prefix="flashbench-")
    sim = os.path.join(bin_dir, "modemsim")
    subprocess.run([sim, "--make-image", "image.hex", "--size", str(size)], cwd=work, check=True)
    subprocess.run([sim, "--make-loader", "flashldr.hex"], cwd=work, check=True)
    argv = [sim, "-v", "--exit-after-job", "--expect", "image.hex", "--erase-ms", str(erase_ms)]
    if paced:
        argv.append("--paced")
    modem = subprocess.Popen(argv, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    device = modem.stdout.readline().strip()

    traffic = []  # (arrival time, direction, text) of the modem's traffic log

    def collect():
        for line in modem.stderr:
            m = TRACE.match(line.rstrip("\n"))
            if m:
                traffic.append((time.monotonic(), m.group(2), unescape(m.group(3))))
    reader = threading.Thread(target=collect, daemon=True)
    reader.start()

    env = dict(os.environ)
    events_path = os.path.join(work, "io.events")
    env.update(LD_PRELOAD=shim, IO_TIMING_OUT=events_path)
    with open(os.path.join(work, "cli.out"), "w") as out:
        start = time.monotonic()
        cli = subprocess.Popen([os.path.join(bin_dir, "flashloader-cli"), "-d", device, "-y", "image.hex"],
                               cwd=work, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
        samples, hwm_kb = [], 0
        while True:
            done_pid, status, usage = os.wait4(cli.pid, os.WNOHANG)
            if done_pid:
                break
            c = cpu_ns(cli.pid)
            if c is not None:
                samples.append((time.monotonic(), c))
                hwm_kb = max(hwm_kb, peak_rss_kb(cli.pid))
            time.sleep(SAMPLE_S)
        end = time.monotonic()
        cli.returncode = os.waitstatus_to_exitcode(status)
    samples.append((end, int((usage.ru_utime + usage.ru_stime) * 1e9)))
    modem_status = modem.wait(timeout=30)
    reader.join(timeout=5)

    # Phases from the modem's traffic: probe until the loader command, the
    # loader until the first image line, the erase wait until its answer,
    # streaming until the last answer, the finish until the program ends.
    first_loader = next(t for t, d, x in traffic if d == "<<" and x.startswith("AT&&FFL"))
    image_in = [i for i, (t, d, x) in enumerate(traffic) if d == "<<" and x.startswith(":")]
    first_ok = next(i for i in range(image_in[0], len(traffic)) if traffic[i][1] == ">>")
    last_ok = max(i for i in range(len(traffic)) if traffic[i][1] == ">>" and i > image_in[-1])
    bounds = {"probe": (start, first_loader), "loader": (first_loader, traffic[image_in[0]][0]),
              "erase": (traffic[image_in[0]][0], traffic[first_ok][0]),
              "stream": (traffic[first_ok][0], traffic[last_ok][0]), "finish": (traffic[last_ok][0], end)}
    phases = {}
    for name, (a, b) in bounds.items():
        used = (cpu_at(samples, b) - cpu_at(samples, a)) / 1e9
        phases[name] = (b - a, used)
    wire_chars = sum(len(x) for _, _, x in traffic[first_ok + 1:last_ok + 1])
    lines = len(image_in) - 1  # the lines answered within the streaming phase
    result = dict(size=size, paced=paced, status=cli.returncode, verdict=modem_status, lines=lines,
                  phases=phases, wire_s=wire_chars / LINE_CPS, wire_chars=wire_chars,
                  user=usage.ru_utime, sys=usage.ru_stime, maxrss_kb=hwm_kb,
                  gaps=line_gaps_us(events_path))
    if not keep:
        subprocess.run(["rm", "-rf", work])
    else:
        print(f"kept {work}", file=sys.stderr)
    return result


def pct(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--shim", required=True)
    ap.add_argument("--quick", action="store_true", help="skip the paced 1 MiB run")
    ap.add_argument("--erase-ms", type=int, default=10000, help="erase time of the paced set-up")
    ap.add_argument("--keep", action="store_true", help="keep the work directories")
    args = ap.parse_args()

    sizes = [64 * 1024, 256 * 1024, 1024 * 1024]
    runs = []
    for paced in (False, True):
        for size in sizes:
            if paced and args.quick and size == sizes[-1]:
                continue
            print(f"running {'paced' if paced else 'instant'} {size // 1024} KiB ...", file=sys.stderr, flush=True)
            runs.append(run_job(args.bin, args.shim, size, paced,
                                args.erase_ms if paced else 0, args.keep))

    print("| set-up | image | exit / flash | lines | streaming wall | wire-limited | wire / wall | lines/s "
          "| added per line median / p99 | added share of streaming | CPU probe | CPU loader | CPU erase wait | CPU streaming "
          "| CPU user+sys (whole job) | peak RSS |")
    print("|" + "---|" * 16)
    for r in runs:
        ph = r["phases"]
        stream_wall, stream_cpu = ph["stream"]
        erase_wall, erase_cpu = ph["erase"]
        gaps = r["gaps"]
        added = f"{statistics.median(gaps):.1f} / {pct(gaps, 99):.1f} µs" if gaps else "n/a"
        def share(name):
            wall, cpu = ph[name]
            return f"{cpu * 1000:.1f} ms ({100 * cpu / wall:.2f} %)" if wall > 0 else "n/a"
        print(f"| {'paced' if r['paced'] else 'instant'} | {r['size'] // 1024} KiB | {r['status']} / "
              f"{'equal' if r['verdict'] == 0 else 'DIFFERS'} | {r['lines']} | {stream_wall:.3f} s | "
              f"{r['wire_s']:.3f} s | {100 * r['wire_s'] / stream_wall:.1f} % | {r['lines'] / stream_wall:.0f} | "
              f"{added} | {100 * sum(gaps) / 1e6 / stream_wall:.2f} % | {share('probe')} | {share('loader')} | "
              f"{share('erase') if r['paced'] else 'n/a'} | {share('stream')} | "
              f"{r['user'] + r['sys']:.3f} s | {r['maxrss_kb'] / 1024:.1f} MiB |")
    print()
    print("Streaming: from the answer to the first image line (after the erase) to the last answer. "
          "Wire-limited: the characters of that exchange each way / 11,520. Added per line: from the "
          "return of the read that took the previous answer to the write of the next line. CPU: "
          "scheduler run time of all threads (% of one core over the phase).")


if __name__ == "__main__":
    main()
