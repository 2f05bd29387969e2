# Sourced by the tools that debootstrap a Debian 12 root: debian_mirror
# prints the mirror that serves bookworm to this machine, from its apt
# sources (one-line or deb822 format), which is the only way it reaches
# Debian's archive.
debian_mirror() {
    {
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
            awk '$1 == "deb" { for (i = 2; i < NF; i++) if ($(i + 1) == "bookworm" && $i !~ /^\[/) { print $i; exit } }'
        cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
            awk 'BEGIN { RS = ""; FS = "\n" }
                 {
                     uri = ""; ok = 0
                     for (i = 1; i <= NF; i++) {
                         if ($i ~ /^URIs:/) { split($i, w, /[ \t]+/); uri = w[2] }
                         if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) ok = 1
                         if ($i ~ /^Enabled:[ \t]*no/) ok = 0
                     }
                     if (ok && uri != "") { print uri; exit }
                 }'
    } | head -1
}
