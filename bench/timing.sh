# Timing helpers of the benchmark scripts; sourced, not run.

# Prints the wall time in microseconds of one run of COMMAND... < ANSWERS.
time_command() {
  local answers=$1 start end
  shift
  start=$(date +%s%N)
  "$@" < "$answers" > /dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

# Prints the wall time in microseconds of one run of PROGRAM INPUT OUTPUT < ANSWERS.
time_run() { time_command "$4" "$1" "$2" "$3"; }

# Prints the wall time in microseconds of one run of PROGRAM --places PLACES INPUT OUTPUT < ANSWERS.
time_run_places() { time_command "$5" "$1" --places "$2" "$3" "$4"; }

# Prints the wall time in microseconds of one run of PROGRAM --format FORMAT INPUT OUTPUT < ANSWERS.
time_run_format() { time_command "$5" "$1" --format "$2" "$3" "$4"; }

# Prints the median of the numbers given.
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
