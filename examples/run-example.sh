#!/usr/bin/env bash
# Builds Solvarium and runs one Brox session end to end on 127.0.0.1:
# a stand-in solver process, a fake session manager, fake Brox programs first
# on PATH, a few client calls, and a clean shutdown. Then a UDF session: the
# solver described by examples/udf/ (a description and a Python main file)
# driven through its Python macros. Installs missing Debian packages first
# (apt-get, with sudo unless run as root).
# Usage: run-example.sh [--udf-only]
set -euo pipefail
UDF_ONLY=0
[ "${1:-}" = "--udf-only" ] && UDF_ONLY=1

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

# ---- packages -------------------------------------------------------------
"$ROOT/tools/install-packages.sh"

# ---- build ----------------------------------------------------------------
echo "== building into $BUILD_DIR"
cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target Solvarium solvarium-client Quennet
SOLVARIUM="$BUILD_DIR/service/Solvarium"
CLIENT="$BUILD_DIR/tools/solvarium-client"
QUENNET="$BUILD_DIR/brox/linux-amd64/libQuennet.so"

# ---- sandbox --------------------------------------------------------------
RUN="$(mktemp -d "${TMPDIR:-/tmp}/solvarium-example-XXXXXX")"
SOLVER_PID=""
SM_PID=""
SERVICE_PID=""
UDF_SOLVER_PID=""
UDF_SERVICE_PID=""
cleanup() {
  for pid in "$SERVICE_PID" "$SM_PID" "$SOLVER_PID" "$UDF_SERVICE_PID" "$UDF_SOLVER_PID"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$RUN"
}
trap cleanup EXIT

run() { echo "\$ solvarium-client $*"; "$CLIENT" "$@" || echo "(exit code $?)"; }
# Waits up to ten seconds for a file to be non-empty.
wait_for() { for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.1; done; }

# ---- the Brox session -----------------------------------------------------------
brox_session() {
mkdir -p "$RUN/work/run_001.dir" "$RUN/bin" "$RUN/broxbin/linux-amd64"
# One running Brox run (its run information file, see the README) and one saved result.
printf 'run False run_001\nconfiguration 1 base\nprogress iteration 12\n' > "$RUN/work/run_001.dir/gui-err.txt"
printf 'run False wing\nconfiguration 1 base\nend Converged\n' > "$RUN/work/wing.res"
ln -s "$QUENNET" "$RUN/broxbin/linux-amd64/libQuennet.so"
# Fake stop program: records its arguments.
cat > "$RUN/bin/broxstop" <<EOF
#!/bin/sh
echo "broxstop called with: \$*" >> "$RUN/broxstop.log"
EOF
chmod +x "$RUN/bin/broxstop"

# Fake monitor-data program: writes a names list, the report plots (read by
# the final save) or comma-separated data with a quoted header into the file
# named after "-out".
cat > "$RUN/bin/broxmondata" <<'FAKE'
#!/bin/sh
out=""; prev=""
for a in "$@"; do [ "$prev" = "-out" ] && out="$a"; prev="$a"; done
[ -n "$out" ] || exit 1
case "$1" in
  -showvars) printf 'Iteration\nLift\nDrag\n' > "$out" ;;
  -plotinfo) printf '<Plots><Plot Name="Forces" DisplayName="Forces" Visibility="true"><XAxis DisplayName="Iteration" LogarithmicScale="false"/><YAxis DisplayName="Value" LogarithmicScale="false"/><PlotLine><XVar Name="Iteration" DisplayName="Iteration"/><YVar Name="Lift" DisplayName="Lift"/></PlotLine></Plot></Plots>\n' > "$out" ;;
  -lastvaluesonly) printf '"Iteration","Lift","Drag"\n12,0.52,0.081\n' > "$out" ;;
  *) printf '"Iteration","Lift","Drag"\n10,0.50,0.090\n11,0.51,0.085\n12,0.52,0.081\n' > "$out" ;;
esac
FAKE
chmod +x "$RUN/bin/broxmondata"

# Stand-in solver: a process that just sleeps.
sleep 3600 &
SOLVER_PID=$!

# Fake session manager: accepts one connection on 127.0.0.1 and keeps the key.
python3 - "$RUN/sm.port" "$RUN/sm.key" <<'EOF' &
import socket, sys
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
conn, _ = s.accept()
with open(sys.argv[2], "wb") as out:
    while True:
        data = conn.recv(65536)
        if not data:
            break
        out.write(data)
        out.flush()
EOF
SM_PID=$!
for _ in $(seq 50); do [ -s "$RUN/sm.port" ] && break; sleep 0.1; done

# ---- the service ------------------------------------------------------------
echo "== starting Solvarium in $RUN/work"
(
  cd "$RUN/work"
  exec env PATH="$RUN/bin:/usr/bin:/bin" BROXBINDIR="$RUN/broxbin" AAS_HOST=127.0.0.1 AAS_PORTS=0 \
    KORLEN_BROXSOLVE_PID="$SOLVER_PID" KORLEN_SESSION_MANAGER_SOCKET="127.0.0.1:$(cat "$RUN/sm.port")" \
    "$SOLVARIUM" -solver brox
) > "$RUN/service.out" 2>&1 &
SERVICE_PID=$!
wait_for "$RUN/work/instant_aaS_BROXSolvarium.txt"
cat "$RUN/service.out"

cd "$RUN/work"
KEY=aaS_BROXSolvarium.txt
UNIT=instant_aaS_BROXSolvarium.txt

echo "== session manager received $(wc -c < "$RUN/sm.key") bytes (the key)"
run "$UNIT" solver-unit getSolverId
run "$KEY" brox addGenericExceptionMessage "broadcast::started:journaling"
run "$UNIT" script aaS.get_status
run "$UNIT" script aaS.implements.terminate_solver
run "$UNIT" script aaS.get_storage_status
run "$UNIT" script aaS.list_all_brox_storages
run "$UNIT" script aaS.list_monitors
run "$UNIT" script aaS.list_monitors_last_values
run "$UNIT" script aaS.list_monitors_with_persisted_data start-time-step 11
run "$UNIT" script aaS.terminate_solver run_001.dir
cat "$RUN/broxstop.log"
printf 'hello from the client\n' > "$RUN/hello.txt"
run "$UNIT" fs upload "$RUN/hello.txt" hello.txt
run "$UNIT" script aaS.getenv NO_SUCH_VARIABLE
run "$KEY" brox shutdown

wait "$SERVICE_PID" && code=0 || code=$?
SERVICE_PID=""
echo "== Solvarium exited with code $code; its last line: $(tail -n 1 "$RUN/service.out")"
cd "$ROOT"
return "$code"
}

# ---- the UDF session --------------------------------------------------------------
# The description names Debian's libpython3.11 and the main file; its
# solverPid comes from UDF_SOLVER_PID. The key file holds the ICoSolverUnit.
udf_session() {
mkdir -p "$RUN/udf"
cp "$ROOT/examples/udf/aas_udf_instant.xml" "$ROOT/examples/udf/solver_main.py" "$RUN/udf/"
sleep 3600 &
UDF_SOLVER_PID=$!
echo "== starting Solvarium -solver 3p_aas in $RUN/udf"
(
  cd "$RUN/udf"
  exec env PATH="/usr/bin:/bin" AAS_HOST=127.0.0.1 AAS_PORTS=0 UDF_SOLVER_PID="$UDF_SOLVER_PID" \
    "$SOLVARIUM" -solver 3p_aas
) > "$RUN/udf.out" 2>&1 &
UDF_SERVICE_PID=$!
wait_for "$RUN/udf/aaSUdf_Id.txt"
cat "$RUN/udf.out"

cd "$RUN/udf"
UNIT=aaSUdf_Id.txt
run "$UNIT" solver-unit getSolverId
run "$UNIT" script aaS.suggest
run "$UNIT" script aaS.implements.pause
run "$UNIT" script aaS.step 25
run "$UNIT" script aaS.step
run "$UNIT" script aaS.list_monitors
run "$UNIT" script aaS.pause
run "$UNIT" script-op getStatus
run "$UNIT" script aaS.step 3
run "$UNIT" script aaS.continue
run "$UNIT" script aaS.get_iteration
run "$UNIT" script aaS.step 2.5
run "$UNIT" script aaS.restart

# The UDF kind has no shutdown operation: its watcher ends the service when
# the solver's process goes (within a minute). The example ends it at once
# with SIGINT instead.
kill -INT "$UDF_SERVICE_PID"
wait "$UDF_SERVICE_PID" && code=0 || code=$?
UDF_SERVICE_PID=""
echo "== Solvarium (UDF) ended by SIGINT (exit status $code)"
cd "$ROOT"
}

if [ "$UDF_ONLY" -eq 0 ]; then
  brox_session && brox_code=0 || brox_code=$?
else
  brox_code=0
fi
udf_session
exit "$brox_code"
