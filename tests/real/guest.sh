# The guest's part of the real-drive tier, run by init.sh in the host's
# root: gives the CD drives letters, D: onwards in the order Linux numbers
# them, and runs each tree's real_drives_test under Wine; the bridge's
# folder receives the map of letters and the tests' output.
set -u
source "$kroot/scripts/wine-env.sh"
chan=$kroot/build-real/chan
# Wine's own ASPI layer, not the simulated one beside the programs.
export WINEDLLOVERRIDES="wnaspi32=b;mscoree=;mshtml=;winemenubuilder.exe="
want=$(grep -c '^[^#]' "$kroot/tests/real/drives.conf")
for _ in $(seq 100); do
    [ "$(ls /sys/block | grep -c '^sr')" -ge "$want" ] && break
    sleep 0.1
done
# Each drive's address on QEMU's side: scsi:<target>:<lun>, or ahci:<port>.
letters=(D E F G H I J K L M N O P Q R S T U V W)
n=0
for sr in $(ls -v /sys/block | grep '^sr'); do
    dev=$(readlink -f "/sys/block/$sr/device")
    ata=$(grep -o '/ata[0-9]*/' <<<"$dev" | tr -d /)
    if [ -n "$ata" ]; then
        addr=ahci:$(($(cat "/sys/class/ata_port/$ata/port_no") - 1))
    else
        IFS=: read -r _ _ t l <<<"${dev##*/}"
        addr=scsi:$t:$l
    fi
    echo "${letters[n]} $sr $addr" >>"$chan/srmap.tmp"
    n=$((n + 1))
done
mv "$chan/srmap.tmp" "$chan/srmap"

Xvfb :9 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:9
for arch in $karches; do
    use_arch "$arch"
    # Made here where the host runs no 32-bit programs and so made none.
    "$kroot/scripts/prepare-wineprefix.sh" "$arch" >/dev/null || continue
    # A letter is a CD drive to Wine through its device (d::), a folder
    # (d:), and the registry.
    reg='[Software\\Wine\\Drives]'
    while read -r letter sr _; do
        l=${letter,,}
        mkdir -p "/media/$sr"
        ln -sfn "/dev/$sr" "$WINEPREFIX/dosdevices/$l::"
        ln -sfn "/media/$sr" "$WINEPREFIX/dosdevices/$l:"
        reg+=$'\n'"\"$l:\"=\"cdrom\""
    done <"$chan/srmap"
    # The next letter waits for a drive plugged in while a test runs.
    l=${letters[n],,}
    ln -sfn "/dev/sr$n" "$WINEPREFIX/dosdevices/$l::"
    mkdir -p "/media/sr$n" && ln -sfn "/media/sr$n" "$WINEPREFIX/dosdevices/$l:"
    reg+=$'\n'"\"$l:\"=\"cdrom\""
    printf '\n%s\n' "$reg" >>"$WINEPREFIX/system.reg"
    cd "$KESVORA_BUILD/bin"
    echo "$arch: Wine starts at $(cut -d' ' -f1 /proc/uptime) s" >>"$chan/times"
    KREAL_CHAN="Z:${chan//\//\\}" kwine real_drives_test.exe $kargs >"$chan/$arch.out" 2>&1 </dev/null
    echo "$arch: done at $(cut -d' ' -f1 /proc/uptime) s" >>"$chan/times"
    wineserver -k
done
