# Sourced by the correction scripts.
# expected_table COEF N SIGN: the file korsim's sample table of N points must give
# (code page 1251, ended by a zero byte); korsim's reference values are
# r(p) = COEF * p - ((p * 7) % 13 - 6).
expected_table() {
  awk -v c="$1" -v n="$2" -v s="$3" 'BEGIN {
    printf "коэффициент_деления:%05d|||||||||||\r\nкол-во_точек %s:%05d|||||||||||||||||\r\n", c, s, n
    printf "точки|||рабочий||||эталон||||дельта|\r\n"
    for (p = 1; p <= n; p++) {
      w = c * p; r = w - ((p * 7) % 13 - 6)
      printf "%05d.|%09d|%09d|%09d|\r\n", p, w, r, w - r
    }
  }' | iconv -f UTF-8 -t CP1251
  printf '\0'
}
