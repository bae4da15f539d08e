"""What one request costs through varnel.render() in lists of 1,000, 10,000 and 100,000
requests (each "dtmf:1", at 8000 Hz, 16-bit), as bench/request_cost.cpp measures the tool:
every size renders 100,000 requests in all (100 rounds of 1,000, 10 of 10,000, one of
100,000); the cost per request is the process's CPU time, "x 1,000" it as a ratio to that of
1,000 requests (a cost linear in the number of requests keeps it near 1). The allocator's
threshold for taking memory straight from the system is held where it starts, so that every
round takes its samples' memory from the system, as a new process does; left to adapt, it would
keep the samples of 1,000 requests in memory already touched and spare those rounds alone the
page faults. Run it with the interpreter the module is built for (scripts/run-bench does):
    PYTHONPATH=build/python /usr/bin/python3 bench/request_cost.py"""

import os
import sys
import time

if "MALLOC_MMAP_THRESHOLD_" not in os.environ:
    os.execve(sys.executable, [sys.executable] + sys.argv, {**os.environ, "MALLOC_MMAP_THRESHOLD_": "131072"})

import varnel  # noqa: E402

REQUEST_COUNTS = (1000, 10000, 100000)
REQUESTS_PER_SIZE = 100000


def main():
    print(f"{'path':<38} {'requests':>8} {'rounds':>6} {'wall s':>8} {'cpu s':>8} {'cpu us/req':>11} {'x 1,000':>8}")
    at_1000 = None
    for count in REQUEST_COUNTS:
        requests = ["dtmf:1"] * count
        rounds = REQUESTS_PER_SIZE // count
        wall, cpu = time.perf_counter(), time.process_time()
        for _ in range(rounds):
            varnel.render(requests, rate=8000)
        wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
        per_request = cpu / (rounds * count)
        at_1000 = at_1000 or per_request
        print(f"{'python (varnel.render)':<38} {count:>8} {rounds:>6} {wall:>8.3f} {cpu:>8.3f} "
              f"{per_request * 1e6:>11.2f} {per_request / at_1000:>8.2f}", flush=True)


if __name__ == "__main__":
    main()
