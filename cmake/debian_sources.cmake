# Where code Debian ships only as source comes from (debian_sources.sh fetches it at configure
# time): Debian 12's mirrors, which the build machine reaches.
include_guard(GLOBAL)
set(QBT_DEBIAN_MIRROR http://deb.debian.org/debian CACHE STRING
    "Debian mirror that source packages come from (bookworm main)")
set(QBT_DEBIAN_SECURITY_MIRROR http://deb.debian.org/debian-security CACHE STRING
    "Debian security mirror (bookworm-security), which alone has the current security versions")
