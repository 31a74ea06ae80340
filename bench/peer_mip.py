"""Time-indexed integer program of one instance, solved by CBC through PuLP.

The independent peer of the solver's search: binary x[j, f] = 1 when activity j
finishes at time f, for f in j's window (earliest finish by the forward pass,
latest finish by the backward pass from the deadline); per-period precedence
rows; one resource row per period and resource; discounted cash flows as the
objective. An activity finishing at f with duration d occupies periods
f - d + 1 .. f, as in the solver's checker.
"""
import math
import time
from dataclasses import dataclass

import pulp


@dataclass
class Instance:
    duration: list   # per activity, 0-based: 0 is the dummy start, n - 1 the dummy end
    demand: list     # demand[j][k]
    capacity: list
    successors: list


def read_instance(path):
    """The instance format of the main README, "Input files"."""
    with open(path) as f:
        v = [int(t) for t in f.read().split()]
    n, k = v[0], v[1]
    capacity, at = v[2:2 + k], 2 + k
    inst = Instance([], [], capacity, [])
    for _ in range(n):
        inst.duration.append(v[at])
        inst.demand.append(v[at + 1:at + 1 + k])
        s = v[at + 1 + k]
        inst.successors.append([x - 1 for x in v[at + 2 + k:at + 2 + k + s]])
        at += 2 + k + s
    return inst


def read_makespans(path):
    """deadline.NAME: triple p holds instance p's makespan as its third number."""
    with open(path) as f:
        v = [int(t) for t in f.read().split()]
    return {p + 1: v[3 * p + 2] for p in range(len(v) // 3)}


def windows(inst, deadline):
    """Earliest and latest finish per activity; None when the deadline is too short."""
    n = len(inst.duration)
    preds = [[] for _ in range(n)]
    for i in range(n):
        for j in inst.successors[i]:
            preds[j].append(i)
    order, seen = [], [False] * n          # topological order by depth-first search
    def visit(i):
        seen[i] = True
        for j in inst.successors[i]:
            if not seen[j]:
                visit(j)
        order.append(i)
    for i in range(n):
        if not seen[i]:
            visit(i)
    order.reverse()
    early = [0] * n
    for j in order:
        early[j] = max((early[i] for i in preds[j]), default=0) + inst.duration[j]
    late = [deadline] * n
    for i in reversed(order):
        late[i] = min([deadline] + [late[j] - inst.duration[j] for j in inst.successors[i]])
    late[0] = 0  # the dummy start finishes at 0
    if any(early[j] > late[j] for j in range(n)):
        return None
    return early, late


def npv(cash_flow, finish, rate):
    """Summed as the solver's checker sums: from the last real activity to the first."""
    return sum(cash_flow[j] * math.exp(-rate * finish[j]) for j in range(len(finish) - 2, 0, -1))


@dataclass
class Result:
    status: str        # optimal, infeasible, time limit, solver error
    value: float       # None without a feasible schedule
    seconds: float
    finish: list


def solve(inst, deadline, cash_flow, rate, time_limit, relax=False):
    """cash_flow[j] per activity (0 for the dummies). With relax, the linear
    program alone (x in [0, 1]): its value, and no schedule."""
    n = len(inst.duration)
    w = windows(inst, deadline)
    if w is None:
        return Result("infeasible", None, 0.0, None)
    early, late = w
    d = inst.duration
    prob = pulp.LpProblem("rcpspdc", pulp.LpMaximize)
    x = {(j, f): (pulp.LpVariable(f"x_{j}_{f}", 0, 1) if relax
                  else pulp.LpVariable(f"x_{j}_{f}", cat="Binary"))
         for j in range(n) for f in range(early[j], late[j] + 1)}
    prob += pulp.lpSum(cash_flow[j] * math.exp(-rate * f) * x[j, f] for (j, f) in x if cash_flow[j])
    for j in range(n):
        prob += pulp.lpSum(x[j, f] for f in range(early[j], late[j] + 1)) == 1
    # j cannot finish by t + d_j unless i finished by t.
    for i in range(n):
        for j in inst.successors[i]:
            for t in range(early[j] - d[j], late[i]):
                prob += (pulp.lpSum(x[i, s] for s in range(early[i], t + 1)) >=
                         pulp.lpSum(x[j, s] for s in range(early[j], min(t + d[j], late[j]) + 1)))
    for k, cap in enumerate(inst.capacity):
        for t in range(1, deadline + 1):
            # finishing at f in [t, t + d_j - 1] covers period t
            terms = [(inst.demand[j][k], x[j, f]) for j in range(n) if inst.demand[j][k]
                     for f in range(max(t, early[j]), min(t + d[j] - 1, late[j]) + 1)]
            if sum(r for r, _ in terms) > cap:  # a row that cannot bind is left out
                prob += pulp.lpSum(r * v for r, v in terms) <= cap
    solver = pulp.COIN_CMD(msg=False, timeLimit=time_limit, threads=1)
    begin = time.perf_counter()
    try:
        prob.solve(solver)
    except pulp.PulpSolverError:  # CBC stopped without an answer (it can fail an internal assertion)
        return Result("solver error", None, time.perf_counter() - begin, None)
    seconds = time.perf_counter() - begin
    if prob.sol_status == pulp.LpSolutionInfeasible:
        return Result("infeasible", None, seconds, None)
    status = "optimal" if prob.sol_status == pulp.LpSolutionOptimal else "time limit"
    if prob.sol_status not in (pulp.LpSolutionOptimal, pulp.LpSolutionIntegerFeasible):
        return Result(status, None, seconds, None)
    if relax:
        return Result(status, pulp.value(prob.objective), seconds, None)
    finish = [next(f for f in range(early[j], late[j] + 1) if x[j, f].varValue > 0.5) for j in range(n)]
    return Result(status, npv(cash_flow, finish, rate), seconds, finish)
