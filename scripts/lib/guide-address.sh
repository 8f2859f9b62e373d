# Sourced by the package scripts: the address the setup window's web link opens, read from the
# installed program's files below a root folder, and whether the file it names is there.
#   check_guide_address ROOT   prints what it found; fails unless the program holds exactly one
#                              guide address, the installed guide's, and that file is below ROOT

check_guide_address() {
  local root=$1 expected=file:///usr/share/doc/kivo/guide.html addresses
  # The address is compiled into the window library as a C string: its printable run of bytes.
  addresses=$({ find "$root/usr/bin" "$root/usr/lib" -type f -exec grep -aoh 'file://[[:graph:]]*/guide\.html' {} + ||
    true; } | sort -u)
  echo "  the web link opens: ${addresses:-(no guide address found)}"
  [ "$addresses" = "$expected" ] || { echo "  expected $expected alone" >&2; return 1; }
  [ -s "$root${expected#file://}" ] || { echo "  $root${expected#file://} is missing" >&2; return 1; }
}
