#!/usr/bin/env bash
# Runs the GNU parallel recipe of the README, as written there, on a copy of the
# replicate example, and checks the whole replicate table: the header line, then one row
# per replicate weight W_R01 .. W_R18, the first one first.
# Arguments: the source directory and the directory of the zelk binary.
set -euo pipefail
src=$(cd "$1" && pwd)
bindir=$(cd "$2" && pwd)
if ! command -v parallel >/dev/null; then
  echo "GNU parallel is not installed (scripts/install-deps installs it)" >&2
  exit 1
fi
recipe=$(awk '/<!-- recipe: parallel/ {found = 1; next}
              found && /^```sh/ {inside = 1; next}
              inside && /^```/ {exit}
              inside {print}' "$src/README.md")
if [ -z "$recipe" ]; then
  echo "README.md has no parallel recipe block" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src/examples/flower_rep.dat" "$src/examples/ZELK.ini" "$work/"
cd "$work"
echo "$recipe"
if ! HOME="$work" PATH="$bindir:$PATH" bash -e -c "$recipe" >out.txt 2>err.txt; then
  cat err.txt >&2
  exit 1
fi
python3 - flower_rep.dat <<'PY'
import sys
data = sys.argv[1]
names = [n for n in open(data).readline().split() if not n.upper().startswith("W")]
lines = open(data + ".NRT.Wrep.out").read().splitlines()
header, rows = lines[0].split(), [l.split() for l in lines[1:]]
assert header == ["REPWGT", "BCONV", "LU"] + names, header
expected = ["W_R%02d" % k for k in range(1, 19)]
assert len(rows) == 18, "%d rows:\n%s" % (len(rows), "\n".join(lines))
assert rows[0][0] == "W_R01", rows[0]
assert sorted(r[0] for r in rows) == expected, [r[0] for r in rows]
for r in rows:
    assert len(r) == 3 + len(names), r
    values = [float(x) for x in r[1:]]
    assert values[0] in (0.0, 1.0), r
    assert abs(sum(values[2:]) - len(names)) < 1e-6, r
print("whole table: header and %d rows" % len(rows))
PY
