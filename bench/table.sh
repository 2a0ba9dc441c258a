# Sourced by the benchmarks' run.sh: the table's cells and its end.
# secs S: seconds as milliseconds below one second.
secs() { awk -v s="$1" 'BEGIN { if (s < 1) printf "%.1f ms", s * 1000; else printf "%.2f s", s }'; }
# print_table WHAT: the rows gathered in `rows`, then the machine and its
# load, WHAT saying how the figures were taken.
print_table() {
  echo
  echo "| case | program | floor | ratio | goal |"
  echo "|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "$(nproc) processors ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')), $(free -g | awk '/Mem:/ { print $2 }') GiB," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $1."
}
