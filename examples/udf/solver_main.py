"""Python side of the example UDF solver: a toy heat rod that the macros drive.

Solvarium runs this file once at start-up; every "aaS." command named in
aas_udf_instant.xml then calls one of these functions in the same interpreter.
"""
import json

CELLS = 12
state = {"iteration": 0, "paused_at": None, "residuals": []}
temperature = [100.0] + [0.0] * (CELLS - 1)


def _sweep():
    """One Jacobi sweep; the left end stays hot, the right end cold."""
    global temperature
    new = temperature[:]
    for i in range(1, CELLS - 1):
        new[i] = 0.5 * (temperature[i - 1] + temperature[i + 1])
    residual = max(abs(a - b) for a, b in zip(new, temperature))
    temperature = new
    return residual


def step(args):
    """aaS.step [COUNT]: runs COUNT iterations (1 when not given)."""
    count = int(args[0]) if args else 1
    if state["paused_at"] is not None:
        return "paused at iteration %d" % state["paused_at"]
    for _ in range(count):
        state["iteration"] += 1
        state["residuals"].append(round(_sweep(), 6))
    return "iteration %d, residual %g" % (state["iteration"], state["residuals"][-1])


def status(args):
    return "paused" if state["paused_at"] is not None else "running"


def iteration(args):
    return str(state["iteration"])


def list_monitors(args):
    """Printed output is the answer of an output="stdout" command."""
    print(json.dumps({"residual": state["residuals"],
                      "temperature": [round(t, 3) for t in temperature]}))


def pause():
    state["paused_at"] = state["iteration"]
    return "paused"


def resume():
    state["paused_at"] = None
    return "continuing"


def paused_index():
    return "" if state["paused_at"] is None else str(state["paused_at"])
