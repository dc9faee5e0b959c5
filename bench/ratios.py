#!/usr/bin/env python3
"""Turns a Google Benchmark JSON report of qor_bench into the table of ratios against the goals."""
import json
import sys


def medians(report):
    found = {}
    for run in report["benchmarks"]:
        if run.get("aggregate_name") == "median":
            name = run["run_name"].split("/min_time:")[0]
            found[name] = run["real_time"]
    return found


GOALS = [
    ("1 pass-through to an applet", "goal1_qor", "goal1_floor", 1.5),
    ("2 message to Core", "goal2_qor", "goal2_floor", 2.0),
    ("3 pass-through, 10,000 applets vs 1", "goal3_many", "goal3_one", 1.1),
    ("4 PropertyChange vs bare libxml2", "goal4_propertyChange_qor", "goal4_propertyChange_floor", 1.3),
    ("4 ListenPropertyChange vs bare libxml2", "goal4_listenPropertyChange_qor",
     "goal4_listenPropertyChange_floor", 1.3),
    ("4 LoadBindings (100) vs bare libxml2", "goal4_loadBindings_qor/100", "goal4_loadBindings_floor/100", 1.3),
    ("5 PropertyChange, 100,000 bindings vs 100", "goal5_propertyChange_100000", "goal5_propertyChange_100", 1.2),
    ("5 LoadBindings per binding, 10,000 vs 1,000", "goal5_loadBindings/10000", "goal5_loadBindings/1000", 1.2),
    ("6 LoadUIApplet + UnloadUIApplet vs bare dlopen", "goal6_qor", "goal6_floor", 1.3),
    # No goal: how bare libxml2 itself scales, for comparison with the line of goal 5 above.
    ("  bare libxml2 LoadBindings, 10,000 vs 1,000", "goal4_loadBindings_floor/10000",
     "goal4_loadBindings_floor/1000", None),
]
PER_BINDING = {"goal5_loadBindings/10000": 10000, "goal5_loadBindings/1000": 1000,
               "goal4_loadBindings_floor/10000": 10000, "goal4_loadBindings_floor/1000": 1000}


def main():
    times = medians(json.load(open(sys.argv[1])))
    print(f"{'goal':48} {'QOR':>12} {'floor':>12} {'ratio':>7} {'goal':>6}  met")
    unmet = 0
    for name, qor, floor, goal in GOALS:
        if qor not in times or floor not in times:
            print(f"{name:48} {'(not run)':>12}")
            continue
        q = times[qor] / PER_BINDING.get(qor, 1)
        f = times[floor] / PER_BINDING.get(floor, 1)
        ratio = q / f
        if goal is None:
            print(f"{name:48} {q:10.0f}ns {f:10.0f}ns {ratio:7.2f} {'-':>6}")
            continue
        met = ratio <= goal
        unmet += not met
        print(f"{name:48} {q:10.0f}ns {f:10.0f}ns {ratio:7.2f} {goal:6.2f}  {'yes' if met else 'NO'}")
    return unmet


if __name__ == "__main__":
    sys.exit(1 if main() else 0)
