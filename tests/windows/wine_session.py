#!/usr/bin/env python3
"""Starts or stops the wine session that the Windows tests run in.

    wine_session.py start     creates the wine prefix ($WINEPREFIX) if needed
                              and leaves a persistent wineserver running
    wine_session.py stop      ends that wineserver and the wine processes of
                              the prefix

Without a wineserver that outlives each test, every run of koravel.exe would
start one of its own together with wine's background services; they inherit
the test's output pipes and keep the test waiting for seconds after the
program has ended. The server and the services are therefore started once,
detached from every pipe, before the first test and ended after the last.
"""
import os
import subprocess
import sys


def run_detached(command, log):
    return subprocess.run(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                          timeout=120).returncode


def start(prefix):
    os.makedirs(prefix, exist_ok=True)
    log_name = os.path.join(os.path.dirname(prefix.rstrip("/")), "wine_session.log")
    with open(log_name, "w") as log:
        # -p: the server stays until it is told to stop. A server left over
        # from an interrupted run of the tests is ended first.
        if run_detached(["wineserver", "-p"], log) != 0:
            stop()
            if run_detached(["wineserver", "-p"], log) != 0:
                print(f"wineserver -p failed, see {log_name}")
                return 1
        # Sets the prefix up when wine has not done so yet (about a second)
        # and starts the background services under the persistent server.
        if run_detached(["wine", "wineboot", "--init"], log) != 0:
            print(f"wineboot failed, see {log_name}")
            return 1
    return 0


def stop():
    subprocess.run(["wineserver", "-k"], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    return 0


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in ("start", "stop"):
        print("usage: wine_session.py start|stop")
        return 2
    prefix = os.environ.get("WINEPREFIX")
    if not prefix:
        print("WINEPREFIX is not set")
        return 2
    return start(prefix) if sys.argv[1] == "start" else stop()


if __name__ == "__main__":
    sys.exit(main())
