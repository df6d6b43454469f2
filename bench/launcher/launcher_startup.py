#!/usr/bin/env python3
"""Start-up time and peak memory of tarnwick_desktop against a bare WebKitGTK window, in one run.

Run under a display (Xvfb). Starts the built tarnwickd on 127.0.0.1:37338 with a request log that
carries monotonic times, then alternately starts the launcher and bare_webkit_window, which both
load the daemon's page. The page fetches /loaded from its load event, so the daemon's log tells
when each program finished its first navigation, on the same monotonic clock as the spawn time
read here: start-up is (arrival of GET /loaded) - (moment just before the spawn).

CPU: the user and system time of the program and the sum over its process tree, read as soon as the
load was seen.

Memory: after a settle time the peak resident size (VmHWM) of the program itself and the sum over
its whole process tree (WebKit's web and network processes, the sandbox helpers) are read; then
the program and whatever of its tree is left are ended, each by its own id.

    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" python3 bench/launcher/launcher_startup.py --build build/linux

--scenario first-launch: no daemon runs; the launcher starts the tarnwickd beside it, which starts
listening 300 ms after its start (TARNWICKD_DELAY_LISTEN). Measured against max(the daemon's own
time from its start to listening, the bare window's start-up with the page already served), both
measured in the same run, alternating with the launcher.

--idle SECONDS: --idle-after seconds (10) after the load, the run time of the program's threads (the
scheduler's own count, in nanoseconds; threads that end meanwhile included) over that many seconds of
an idle window, the daemon's page loaded. Also the median of each run's ratio, the two programs of a
run having run next to each other.

--scenario processes: the daemon runs, as in the default scenario; the launcher's start-up with 500
extra (sleeping) processes against the same with none, alternating.

--scenario tray: the daemon runs; the launcher on a session bus with a tray (status_notifier_watcher,
so its status icon is shown) against the launcher on a session bus without one (no icon), alternating:
start-up, and the peak memory the icon adds.

--scenario same: the launcher against itself, in the same environment: what the start-up ratio of two
identical programs comes to in this run, the floor of what the other scenarios can tell apart.

--scenario tray-idle: the launcher started with --minimized on the bus with a tray (the icon shown,
the window hidden) against the bare WebKitGTK window; use with --idle 60.
"""
import argparse
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

PORT = 37338


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC)


def listening(timeout=1.0):
    try:
        with socket.create_connection(("127.0.0.1", PORT), timeout=timeout):
            return True
    except OSError:
        return False


def parent_of_every_process():
    parents = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                text = stat.read()
        except OSError:
            continue
        # The name may hold spaces and parentheses: the fields follow the last ")".
        fields = text[text.rindex(")") + 2:].split()
        parents[int(entry)] = int(fields[1])
    return parents


def process_tree(root):
    parents = parent_of_every_process()
    tree, frontier = [root], [root]
    while frontier:
        children = [pid for pid, parent in parents.items() if parent in frontier]
        tree += children
        frontier = children
    return tree


def thread_run_ns(pid, names=None):
    """Each thread's run time so far, by thread id; names, when given, gets each thread's name."""
    times = {}
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/schedstat") as schedstat:
                    times[task] = int(schedstat.read().split()[0])
                if names is not None and task not in names:
                    with open(f"/proc/{pid}/task/{task}/comm") as comm:
                        names[task] = comm.read().strip()
            except OSError:
                pass
    except OSError:
        pass
    return times


def idle_run_ms(pid, seconds, by_thread=None):
    """The run time of the program's threads over the next seconds, looked at every second so that a
    thread that ends meanwhile still counts with what it ran (a plain sum over the threads alive at
    both ends would lose it, or count one born meanwhile from zero). by_thread, when given, gets the
    run time of each thread name."""
    names = {}
    first = thread_run_ns(pid, names)
    last = dict(first)
    end = now() + seconds
    while now() < end:
        time.sleep(min(1.0, max(0.0, end - now())))
        last.update(thread_run_ns(pid, names))
    if by_thread is not None:
        for task in last:
            name = names.get(task, "?")
            by_thread[name] = by_thread.get(name, 0.0) + (last[task] - first.get(task, 0)) / 1e6
    return sum(last[task] - first.get(task, 0) for task in last) / 1e6


def cpu_ms(pid):
    """User and system time the process has used so far."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")


def status_kib(pid, key):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith(key + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return False


def end_process(pid, grace=5.0):
    """Ends one process we started (or that one of ours started), by its id."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            return
        deadline = now() + grace
        while now() < deadline and alive(pid):
            time.sleep(0.02)
        if not alive(pid):
            return


class RequestLog:
    def __init__(self, path):
        self.path = path
        self.offset = 0

    def skip_to_end(self):
        self.offset = os.path.getsize(self.path)

    def loaded_since(self, start):
        """The time of the first GET /loaded that arrived at or after start, if any yet."""
        with open(self.path) as log:
            log.seek(self.offset)
            for line in log.read().splitlines():
                parts = line.split()
                if len(parts) == 3 and parts[1] == "GET" and parts[2] == "/loaded" and float(parts[0]) >= start:
                    return float(parts[0])
        return None


def daemons_of(program):
    """Running processes of this executable file (the daemons a launcher started, say)."""
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.readlink(f"/proc/{entry}/exe") == os.path.realpath(program) and alive(int(entry)):
                    found.append(int(entry))
            except OSError:
                pass
    return found


def time_to_listen(tarnwickd, environment, timeout=30.0):
    """From the daemon's spawn to a connection accepted on the port, in ms; the daemon is ended."""
    start = now()
    daemon = subprocess.Popen([tarnwickd], env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not listening(timeout=0.05):
        if daemon.poll() is not None or now() - start > timeout:
            sys.exit("tarnwickd did not start listening")
        time.sleep(0.001)
    listened = now()
    end_process(daemon.pid)
    daemon.wait()
    return (listened - start) * 1000


def session_bus(directory, name, watcher=None):
    """A dbus-daemon of its own, and the tray on it when asked: (address, processes to end)."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1", f"--address=unix:path={os.path.join(directory, name)}"],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    address = bus.stdout.readline().strip()
    started = [bus]
    if watcher:
        tray = subprocess.Popen([watcher], env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
        if tray.stdout.readline().strip() != "ready":
            sys.exit("the tray did not start")
        started.append(tray)
    return address, started


def one_run(command, environment, log, settle, timeout, idle=0.0, idle_after=10.0, idle_threads=None):
    log.skip_to_end()
    with tempfile.TemporaryFile() as errors:
        start = now()
        program = subprocess.Popen(command, env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors)
        loaded = None
        while loaded is None:
            loaded = log.loaded_since(start)
            if loaded is None:
                if program.poll() is not None or now() - start > timeout:
                    end_process(program.pid)
                    errors.seek(0)
                    sys.exit(f"{command[0]} did not load the page (exit {program.poll()}): {errors.read().decode(errors='replace')}")
                time.sleep(0.002)
        # Read at once: the CPU time the tree needed to get there (less sensitive to load than the wall time).
        main_cpu = cpu_ms(program.pid)
        cpu = sum(cpu_ms(pid) for pid in process_tree(program.pid))
        time.sleep(settle)
        idle_cpu = 0.0
        if idle > 0:
            # The program's own CPU time while nothing happens: the window open, the page loaded, and
            # what the engine does after a load (its caches, its first collections) done.
            time.sleep(max(0.0, idle_after - settle))
            idle_cpu = idle_run_ms(program.pid, idle, idle_threads)
        tree = process_tree(program.pid)
        main_peak = status_kib(program.pid, "VmHWM")
        tree_peak = sum(status_kib(pid, "VmHWM") for pid in tree)
        end_process(program.pid)
        program.wait()
        for pid in tree[1:]:
            end_process(pid)
    return {"startup_ms": (loaded - start) * 1000, "cpu_ms": cpu, "main_cpu_ms": main_cpu, "main_kib": main_peak, "tree_kib": tree_peak, "processes": len(tree),
            "idle_cpu_ms": idle_cpu, "idle_threads": idle_threads or {}}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build/linux", help="the linux preset's build directory")
    parser.add_argument("--runs", type=int, default=10, help="measured runs of each program")
    parser.add_argument("--warm-up", type=int, default=1, help="unmeasured runs of each program first")
    parser.add_argument("--settle", type=float, default=5.0, help="seconds after the load before memory is read")
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--scenario", choices=("running", "first-launch", "processes", "tray", "tray-idle", "same"), default="running")
    parser.add_argument("--extra-processes", type=int, default=500)
    parser.add_argument("--idle", type=float, default=0.0, help="seconds of an idle window, after --idle-after, whose CPU time is measured")
    parser.add_argument("--idle-after", type=float, default=10.0, help="seconds after the load before the idle window is measured")
    options = parser.parse_args()

    launcher = os.path.join(options.build, "desktop", "tarnwick_desktop")
    tarnwickd = os.path.join(options.build, "desktop", "tarnwickd")
    baseline = os.path.join(options.build, "bench", "bare_webkit_window")
    watcher = os.path.join(options.build, "bench", "status_notifier_watcher")
    for program in (launcher, tarnwickd, baseline, watcher):
        if not os.access(program, os.X_OK):
            sys.exit(f"missing {program}: build the targets tarnwick_desktop tarnwickd bare_webkit_window")
    if "DISPLAY" not in os.environ:
        sys.exit("no display: run under xvfb-run")
    if listening():
        sys.exit(f"something already listens on 127.0.0.1:{PORT}")

    environment = dict(os.environ, NO_AT_BRIDGE="1")
    # Both programs render the same way; the launcher keeps a choice made in the environment.
    environment.setdefault("WEBKIT_DISABLE_DMABUF_RENDERER", "1")
    environment.pop("TARNWICKD_LOG", None)

    if options.scenario == "first-launch":
        first_launch(options, launcher, tarnwickd, baseline, environment)
        return

    with tempfile.TemporaryDirectory() as directory:
        # The launcher's own folders (instance lock, window state, log) apart from the user's.
        environment = launcher_folders(environment, directory)
        log_path = os.path.join(directory, "requests.log")
        open(log_path, "w").close()
        daemon_errors = open(os.path.join(directory, "tarnwickd.txt"), "w+")
        buses = []
        daemon = subprocess.Popen([tarnwickd, "--port", str(PORT), "--log", log_path, "--log-times"], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=daemon_errors)
        try:
            deadline = now() + 30
            while not listening():
                if daemon.poll() is not None or now() > deadline:
                    daemon_errors.seek(0)
                    # A connection that recently closed on that port (TIME_WAIT) also keeps it taken for a minute.
                    sys.exit(f"tarnwickd did not start listening: {daemon_errors.read().strip()}")
                time.sleep(0.02)
            log = RequestLog(log_path)
            programs = {"launcher": [launcher], "baseline": [baseline, f"http://127.0.0.1:{PORT}"]}
            environments = {"launcher": environment, "baseline": environment}
            if options.scenario in ("processes", "same"):
                programs = {"launcher": [launcher], "baseline": [launcher]}
            if options.scenario in ("tray", "tray-idle"):
                with_tray, buses = session_bus(directory, "bus-with-tray", watcher)
                without_tray, more = session_bus(directory, "bus-without-tray")
                buses += more
                environments = {"launcher": dict(environment, DBUS_SESSION_BUS_ADDRESS=with_tray),
                                "baseline": dict(environment, DBUS_SESSION_BUS_ADDRESS=without_tray)}
                programs["launcher"] = [launcher, "--minimized"] if options.scenario == "tray-idle" else [launcher]
                if options.scenario == "tray":
                    programs["baseline"] = [launcher]
            results = {name: [] for name in programs}
            extra = []
            print(f"load average before: {os.getloadavg()}", flush=True)
            for run in range(options.warm_up + options.runs):
                # Alternating which goes first cancels drift between the two.
                order = ["launcher", "baseline"] if run % 2 == 0 else ["baseline", "launcher"]
                for name in order:
                    if options.scenario == "processes":
                        # "launcher" runs among the extra processes, "baseline" without them.
                        extra = end_sleepers(extra)
                        if name == "launcher":
                            extra = start_sleepers(options.extra_processes)
                    result = one_run(programs[name], environments[name], log, options.settle, options.timeout, options.idle, options.idle_after, {})
                    measured = run >= options.warm_up
                    if measured:
                        results[name].append(result)
                    print(f"{'run' if measured else 'warm-up'} {run + 1 - options.warm_up if measured else run + 1:2} {name:8} "
                          f"start-up {result['startup_ms']:7.1f} ms (CPU {result['main_cpu_ms']:4.0f} ms alone, {result['cpu_ms']:5.0f} ms tree)  peak {result['main_kib'] / 1024:6.1f} MiB alone, "
                          f"{result['tree_kib'] / 1024:6.1f} MiB over {result['processes']} processes"
                          + (f", idle {result['idle_cpu_ms']:6.2f} ms" if options.idle > 0 else ""), flush=True)
                    time.sleep(0.5)
            print(f"load average after: {os.getloadavg()}")
        finally:
            for process in reversed(buses):
                end_process(process.pid)
                process.wait()
            end_sleepers(extra)
            end_process(daemon.pid)
            daemon.wait()
            daemon_errors.close()

    def median(name, key):
        return statistics.median(r[key] for r in results[name])

    if options.scenario == "processes":
        print(f"\n(launcher with {options.extra_processes} extra processes / launcher without)")
    if options.scenario == "tray":
        print("\n(launcher with its status icon shown / launcher without a tray)")
    if options.scenario == "same":
        print("\n(launcher / the same launcher)")
    if options.scenario == "tray-idle":
        print("\n(launcher started --minimized, icon shown and window hidden / bare WebKitGTK window)")
    print(f"\nmedians over {options.runs} runs each (launcher / baseline = ratio):")
    for key, label, scale, unit in (("startup_ms", "start-up to first load", 1, "ms"), ("main_cpu_ms", "CPU until then, program", 1, "ms"),
                                    ("cpu_ms", "CPU until then, process tree", 1, "ms"),
                                    ("main_kib", "peak resident, program", 1024, "MiB"),
                                    ("tree_kib", "peak resident, process tree", 1024, "MiB")):
        a, b = median("launcher", key) / scale, median("baseline", key) / scale
        print(f"  {label:28} {a:8.1f} {unit} / {b:8.1f} {unit} = {a / b:.3f}")
    # The two programs of a run started next to each other, under the same load: their ratio drifts
    # less than the ratio of the medians. The quartiles of those ratios show how far a figure can move.
    ratios = sorted(x["startup_ms"] / y["startup_ms"] for x, y in zip(results["launcher"], results["baseline"]))
    if len(ratios) >= 4:
        low, _, high = statistics.quantiles(ratios, n=4)
        print(f"  {'start-up ratio, median of runs':28} {statistics.median(ratios):.3f} (quartiles {low:.3f} to {high:.3f})")
    if options.idle > 0:
        a, b = median("launcher", "idle_cpu_ms"), median("baseline", "idle_cpu_ms")
        print(f"  {'CPU while idle, program':28} {a:8.2f} ms / {b:8.2f} ms = {a / b:.3f} over {options.idle:.0f} s: "
              f"{(a - b) / (options.idle * 10):.3f} % of a core more")
        # The two programs of a run ran next to each other, under the same load: their ratio drifts less.
        ratios = [x["idle_cpu_ms"] / y["idle_cpu_ms"] for x, y in zip(results["launcher"], results["baseline"]) if y["idle_cpu_ms"] > 0]
        if ratios:
            print(f"  {'idle ratio, median of runs':28} {statistics.median(ratios):.3f} (each run: {', '.join(f'{r:.2f}' for r in ratios)})")
        # Where the idle time goes: the median of each thread name's time over the runs.
        for name in ("launcher", "baseline"):
            threads = sorted({thread for r in results[name] for thread in r["idle_threads"]})
            shares = {thread: statistics.median(r["idle_threads"].get(thread, 0.0) for r in results[name]) for thread in threads}
            print(f"  idle by thread, {name}: " + ", ".join(f"{thread} {ms:.2f} ms" for thread, ms in sorted(shares.items(), key=lambda item: -item[1]) if ms >= 0.05))


def launcher_folders(environment, directory):
    folders = {}
    for variable in ("XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"):
        folders[variable] = os.path.join(directory, variable.lower())
        os.makedirs(folders[variable], mode=0o700, exist_ok=True)
    return dict(environment, **folders)


def start_sleepers(count):
    return [subprocess.Popen(["sleep", "3600"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL) for _ in range(count)]


def end_sleepers(sleepers):
    for sleeper in sleepers:
        sleeper.kill()
    for sleeper in sleepers:
        sleeper.wait()
    return []


def first_launch(options, launcher, tarnwickd, baseline, environment):
    """The launcher starts the daemon itself, which listens 300 ms after its start."""
    with tempfile.TemporaryDirectory() as directory:
        log_path = os.path.join(directory, "requests.log")
        open(log_path, "w").close()
        log = RequestLog(log_path)
        late = dict(launcher_folders(environment, directory), TARNWICKD_DELAY_LISTEN="0.3", TARNWICKD_LOG=log_path, TARNWICKD_LOG_TIMES="1")
        served = dict(environment, TARNWICKD_LOG=log_path, TARNWICKD_LOG_TIMES="1")
        results = {"launcher": [], "listen": [], "baseline": []}
        print(f"load average before: {os.getloadavg()}", flush=True)
        for run in range(options.warm_up + options.runs):
            measured = run >= options.warm_up
            order = ["launcher", "listen", "baseline"] if run % 2 == 0 else ["baseline", "listen", "launcher"]
            for name in order:
                if listening() or daemons_of(tarnwickd):
                    sys.exit(f"something still listens on 127.0.0.1:{PORT} or a tarnwickd runs")
                if name == "launcher":
                    shutil.rmtree(late["XDG_CONFIG_HOME"], ignore_errors=True)
                    value = one_run([launcher], late, log, 0.2, options.timeout)["startup_ms"]
                    for daemon in daemons_of(tarnwickd):
                        end_process(daemon)
                elif name == "listen":
                    value = time_to_listen(tarnwickd, late)
                else:
                    daemon = subprocess.Popen([tarnwickd], env=served, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    while not listening():
                        time.sleep(0.01)
                    value = one_run([baseline, f"http://127.0.0.1:{PORT}"], environment, log, 0.2, options.timeout)["startup_ms"]
                    end_process(daemon.pid)
                    daemon.wait()
                if measured:
                    results[name].append(value)
                print(f"{'run' if measured else 'warm-up'} {run + 1:2} {name:8} {value:7.1f} ms", flush=True)
                time.sleep(0.3)
        print(f"load average after: {os.getloadavg()}")
    medians = {name: statistics.median(values) for name, values in results.items()}
    bound = max(medians["listen"], medians["baseline"])
    print(f"\nmedians over {options.runs} runs: launcher {medians['launcher']:.1f} ms; daemon to listening {medians['listen']:.1f} ms; "
          f"bare window, page served {medians['baseline']:.1f} ms")
    print(f"  launcher / max(listen, bare window) = {medians['launcher'] / bound:.3f}")
    print(f"  launcher / (listen + bare window)   = {medians['launcher'] / (medians['listen'] + medians['baseline']):.3f}")


if __name__ == "__main__":
    main()
