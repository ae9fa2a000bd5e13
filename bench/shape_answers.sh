# The seven answers of each benchmark shape (see bench/shapes.cpp), sourced by the scripts that
# run them: answers_for SHAPE prints them on one line.
answers_for() {
  case $1 in
    a | c | f | h) echo "52.5 13.4 60 60 180 1 15" ;;
    b) echo "52.5 13.4 60 1 180 1 15" ;;
    d) echo "52.5 13.4 10 1 60 1 15" ;;
    e) echo "52.5 13.4 1440 60 1440 1 15" ;;
    g) echo "52.5 13.4 60 60 60 1 15" ;;
  esac
}
