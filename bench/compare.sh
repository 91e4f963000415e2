#!/usr/bin/env bash
# Times velmora-cli's duplicate search against reading every byte of the store once and against other
# duplicate finders, all in one run on a warm page cache, and prints one markdown table.
#
# usage: bench/compare.sh STORE [--runs N] [--py-runs M] [--out FILE] [--build-dir DIR] [--cli PATH]
#                                [--py-baseline PATH]
#
#   STORE             a Maildir++ root (cur/, new/, .Sub.Folder/...) or a tree of .eml files
#   --runs N          timed runs per tool (default 5), after one warm-up run
#   --py-runs M       timed runs of the Python baseline (default: N, at most 2; it is slow); 0 skips it
#   --out FILE        also write the table to FILE
#   --build-dir DIR   where velmora-cli is built if it is not yet (default: build/bench in the repository)
#   --cli PATH        time this velmora-cli binary instead of building one
#   --py-baseline P   the Python baseline script (default: ../shared/tools/py_baseline.py beside the repository)
#
# Missing peers are installed from Debian (dovecot-core, jdupes, hyperfine, time), with sudo when not root.
# doveadm deduplicate removes what it finds, so it runs on a copy of STORE that is made afresh before every
# run (untimed, hyperfine --prepare); the copy lives in a temporary directory under ${TMPDIR:-/tmp} and is
# removed on exit.
set -euo pipefail

SCRIPT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO_DIR="$(cd "${SCRIPT_DIR}/.." && pwd)"
readonly SCRIPT_DIR REPO_DIR

die() {
    printf 'compare.sh: %s\n' "$*" >&2
    exit 1
}

note() {
    printf '== %s\n' "$*" >&2
}

usage() {
    sed -n '5,14s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
}

store=""
runs=5
py_runs=""
out_file=""
build_dir="${REPO_DIR}/build/bench"
cli=""
py_baseline="${REPO_DIR}/../shared/tools/py_baseline.py"

while [ $# -gt 0 ]; do
    case "$1" in
        --runs) [ $# -ge 2 ] || usage; runs="$2"; shift 2 ;;
        --py-runs) [ $# -ge 2 ] || usage; py_runs="$2"; shift 2 ;;
        --out) [ $# -ge 2 ] || usage; out_file="$2"; shift 2 ;;
        --build-dir) [ $# -ge 2 ] || usage; build_dir="$2"; shift 2 ;;
        --cli) [ $# -ge 2 ] || usage; cli="$2"; shift 2 ;;
        --py-baseline) [ $# -ge 2 ] || usage; py_baseline="$2"; shift 2 ;;
        -h | --help) usage ;;
        -*) printf 'compare.sh: unknown option %s\n' "$1" >&2; usage ;;
        *)
            [ -z "${store}" ] || die "only one STORE may be given"
            store="$1"
            shift
            ;;
    esac
done

[ -n "${store}" ] || usage
[ -d "${store}" ] || die "store ${store} does not exist or is not a directory"
store="$(cd "${store}" && pwd)"
[[ "${runs}" =~ ^[1-9][0-9]*$ ]] || die "--runs needs a positive whole number, not ${runs}"
if [ -z "${py_runs}" ]; then
    py_runs=$((runs < 2 ? runs : 2))
fi
[[ "${py_runs}" =~ ^[0-9]+$ ]] || die "--py-runs needs a whole number, not ${py_runs}"

# --- peers -------------------------------------------------------------------------------------------------

install_missing() {
    local -a wanted=()
    command -v doveadm > /dev/null || wanted+=(dovecot-core)
    command -v jdupes > /dev/null || wanted+=(jdupes)
    command -v hyperfine > /dev/null || wanted+=(hyperfine)
    [ -x /usr/bin/time ] || wanted+=(time)
    command -v python3 > /dev/null || wanted+=(python3)
    [ ${#wanted[@]} -gt 0 ] || return 0

    local -a sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo > /dev/null || die "missing ${wanted[*]} and not root; install them or sudo first"
        sudo=(sudo)
    fi
    command -v apt-get > /dev/null || die "missing ${wanted[*]} and no apt-get to install them with"
    note "installing ${wanted[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if ! "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${wanted[@]}" > /dev/null; then
        "${sudo[@]}" apt-get update -qq
        "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${wanted[@]}" > /dev/null \
            || die "could not install ${wanted[*]}"
    fi
}

install_missing

if [ "${py_runs}" -gt 0 ] && [ ! -f "${py_baseline}" ]; then
    die "Python baseline ${py_baseline} not found (give --py-baseline PATH, or --py-runs 0 to skip it)"
fi

# --- velmora-cli -------------------------------------------------------------------------------------------

if [ -z "${cli}" ]; then
    cli="${build_dir}/cli/velmora-cli"
    if [ ! -x "${cli}" ]; then
        command -v cmake > /dev/null || die "cmake is needed to build velmora-cli (see scripts/install-deps.sh)"
        command -v ninja > /dev/null || die "ninja is needed to build velmora-cli (see scripts/install-deps.sh)"
        note "building velmora-cli (Release) in ${build_dir}"
        cmake -S "${REPO_DIR}" -B "${build_dir}" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_APP=OFF \
            > /dev/null
        cmake --build "${build_dir}" --target velmora-cli
    fi
    build_type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "${build_dir}/CMakeCache.txt" 2> /dev/null || true)"
    if [ "${build_type}" != "Release" ]; then
        note "warning: ${build_dir} is a '${build_type}' build, not Release; timings will not be representative"
    fi
fi
[ -x "${cli}" ] || die "velmora-cli not found at ${cli}"
cli="$(cd "$(dirname "${cli}")" && pwd)/$(basename "${cli}")"

# --- the store ---------------------------------------------------------------------------------------------

# Counted the way the search walks it: cur/ and new/ of the root and of every .Folder below it (Maildir++),
# or every .eml file of the tree when the root has no cur/.
count_maildir() {
    local folder sub
    local -a dirs=()
    for folder in "$1" "$1"/.[!.]*; do
        [ -d "${folder}/cur" ] || continue
        for sub in cur new; do
            [ ! -d "${folder}/${sub}" ] || dirs+=("${folder}/${sub}")
        done
    done
    find "${dirs[@]}" -mindepth 1 -maxdepth 1 -type f ! -name '.*' | wc -l
}

is_maildir=0
if [ -d "${store}/cur" ]; then
    is_maildir=1
    messages="$(count_maildir "${store}")"
else
    messages="$(find "${store}" -type f -iname '*.eml' | wc -l)"
fi
[ "${messages}" -gt 0 ] || die "no messages found in ${store}"
store_mb="$(du -sm "${store}" | cut -f1)"
note "store ${store}: ${messages} messages, ${store_mb} MB"

work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-compare.XXXXXX")"
cleanup() {
    rm -rf "${work}"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- doveadm set-up ----------------------------------------------------------------------------------------

# Dovecot refuses to touch mail as root, so as root it runs as nobody on a copy owned by nobody.
copy="${work}/copy"
if [ "${is_maildir}" -eq 1 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        mail_user="nobody"
        mail_group="$(id -gn nobody)"
        chmod 755 "${work}"
        chown_copy=" && chown -R ${mail_user}:${mail_group} $(printf '%q' "${copy}")"
    else
        mail_user="$(id -un)"
        mail_group="$(id -gn)"
        chown_copy=""
    fi
    mkdir -p "${work}/home"
    [ -z "${chown_copy}" ] || chown "${mail_user}:${mail_group}" "${work}/home"
    cat > "${work}/dovecot.conf" << EOF
ssl = no
log_path = /dev/stderr
mail_uid = ${mail_user}
mail_gid = ${mail_group}
first_valid_uid = 1
first_valid_gid = 1
mail_home = ${work}/home
mail_location = maildir:${copy}
EOF
    doveadm_prepare="rm -rf $(printf '%q' "${copy}") && cp -a $(printf '%q' "${store}") $(printf '%q' "${copy}")${chown_copy}"
    doveadm_cmd="USER=velmora-bench HOME=$(printf '%q' "${work}/home") doveadm -c $(printf '%q' "${work}/dovecot.conf") deduplicate -m mailbox '*'"
fi

# --- timing ------------------------------------------------------------------------------------------------

q_store="$(printf '%q' "${store}")"
names=() commands=() run_counts=() warmups=() prepares=()
add_tool() {
    names+=("$1")
    commands+=("$2")
    run_counts+=("$3")
    warmups+=("$4")
    prepares+=("${5-}")
}
add_tool "read-every-byte" "tar cf - ${q_store} 2> /dev/null | cat > /dev/null" "${runs}" 1
add_tool "velmora-cli" "$(printf '%q' "${cli}") --store ${q_store} search --json > /dev/null" "${runs}" 1
if [ "${is_maildir}" -eq 1 ]; then
    add_tool "doveadm deduplicate -m" "${doveadm_cmd} > /dev/null" "${runs}" 1 "${doveadm_prepare}"
else
    note "not a Maildir: doveadm is left out"
fi
add_tool "jdupes -r" "jdupes -r -q ${q_store} > /dev/null" "${runs}" 1
if [ "${py_runs}" -gt 0 ]; then
    # The page cache is warm by then, and a warm-up run would cost as much as a timed one.
    add_tool "py_baseline.py" "python3 $(printf '%q' "${py_baseline}") ${q_store} 2> /dev/null" "${py_runs}" 0
fi

note "warming the page cache"
tar cf - "${store}" 2> /dev/null | cat > /dev/null

index=0
for i in "${!names[@]}"; do
    name="${names[i]}" command="${commands[i]}" n="${run_counts[i]}" prepare="${prepares[i]}"
    index=$((index + 1))
    note "${name}: ${n} run(s)"
    hf=(hyperfine --style basic --warmup "${warmups[i]}" --runs "${n}" --export-json "${work}/time-${index}.json")
    if [ -n "${prepare}" ]; then
        hf+=(--prepare "${prepare}")
    fi
    "${hf[@]}" --command-name "${name}" "${command}" >&2

    # Peak memory of one more run of its own.
    if [ -n "${prepare}" ]; then
        bash -c "${prepare}"
    fi
    /usr/bin/time -v -o "${work}/rss-${index}.txt" bash -c "${command}"
    if [ -n "${prepare}" ]; then
        # A run that silently did nothing would look fast; show what it removed.
        note "${name} left $(count_maildir "${copy}") of ${messages} messages in the copy"
    fi
    printf '%s\n' "${name}" > "${work}/name-${index}.txt"
done

# --- the table ---------------------------------------------------------------------------------------------

table="$(python3 - "${work}" "${index}" "${messages}" "${store_mb}" "${store}" << 'EOF'
import json, os, re, sys, datetime

work, count, messages, store_mb, store = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
rows = []
for i in range(1, count + 1):
    name = open(os.path.join(work, "name-%d.txt" % i)).read().strip()
    result = json.load(open(os.path.join(work, "time-%d.json" % i)))["results"][0]
    rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", open(os.path.join(work, "rss-%d.txt" % i)).read())
    rows.append((name, result["median"], len(result["times"]), int(rss.group(1)) / 1024 if rss else float("nan")))
median = {name: m for name, m, _, _ in rows}
cli = median["velmora-cli"]
print("Store: %s, %d messages, %s MB; %s; %d CPUs" % (store, messages, store_mb,
      datetime.date.today().isoformat(), os.cpu_count()))
print()
print("| tool | runs | median s | messages/s | peak RSS MB | median / velmora-cli |")
print("|---|---:|---:|---:|---:|---:|")
for name, m, n, rss in rows:
    print("| %s | %d | %.3f | %s | %.1f | %.2f |" % (name, n, m, format(round(messages / m), ","), rss, m / cli))
print()
print("velmora-cli / read-every-byte = %.2f" % (cli / median["read-every-byte"]))
EOF
)"

printf '%s\n' "${table}"
if [ -n "${out_file}" ]; then
    printf '%s\n' "${table}" > "${out_file}"
fi
