# shellcheck shell=bash
# host.ini of a workstation, sourced by tools/demo/branch.sh and bench/run.sh.

# workstation_host_ini TERMINAL BRANCH: the terminal of the branch with the branch program in use,
# without business date and database: the caller adds what its run needs.
workstation_host_ini() {
    cat <<INI
[Terminal]
ID=$1
[Startparameter]
TORVELIN=ja
RECHKTRL=nein
[Verzeichnisse]
FERTIG=bin
[Warenabgabe]
17=$2
INI
}
