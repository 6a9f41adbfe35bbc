# An independent reference merge, for checking the tool on large generated
# pairs (well-formed input only: no null values, repeat forms or slashes).
# Usage: mawk -f reference_merge.awk REGIONAL FORECAST > expected
# Writes what the merged file must hold, record by record with CR LF.
function put(s) { printf "%s\r\n", s }
function columns60(s) { return sprintf("%-60.60s", s) }
function year(s) { return substr(s, 31, 4) + 0 }
function month(s) { return substr(s, 36, 2) + 0 }
function composed(n, s) { return sprintf(":Frame%10d%10d   %-25.25s", n, n, substr(s, 30, 25)) }
# Takes the values of one input line into the row; a row may span lines.
function take_values(s,    n, i, parts) {
  gsub(/,/, " ", s)
  n = split(s, parts, /[ \t]+/)
  for (i = 1; i <= n; i++) if (parts[i] != "") { row = row sprintf("%7.2f", parts[i]); ++got }
}
FNR == 1 { ++file; state = "header"; next }
{ sub(/\r+$/, "") }
state == "header" {
  if (file == 1) {
    put(columns60($0))
    if (substr($0, 1, 7) == ":xCount") xcount = substr($0, 34, 5) + 0
    if (substr($0, 1, 7) == ":yCount") ycount = substr($0, 34, 5) + 0
  }
  if (substr($0, 1, 10) == ":endHeader") state = "first marker"
  next
}
state == "first marker" {
  if (file == 1) put(columns60($0)); else put(composed(frame_number, $0))
  go_on = year($0) == 2025 && (file == 1 ? month($0) <= 6 : month($0) > 6)
  if (file == 1 && !go_on) frame_number = substr($0, 11, 6) + 0
  state = go_on ? "rows" : "done"; rows = 0; row = ""; got = 0
  next
}
state == "rows" {
  take_values($0)
  if (got >= xcount) { put(row); row = ""; got = 0; if (++rows == ycount) state = "end marker" }
  next
}
state == "end marker" { put(":EndFrame"); state = "marker"; next }
state == "marker" {
  if (file == 1) {
    if (month($0) <= 6) put(columns60($0))
    go_on = year($0) == 2025 && month($0) <= 6
    if (!go_on) frame_number = substr($0, 11, 6) + 0
  } else {
    if (month($0) > 6) put(composed(++frame_number, $0))
    go_on = year($0) == 2025 && month($0) > 6
  }
  state = go_on ? "rows" : "done"; rows = 0
  next
}
