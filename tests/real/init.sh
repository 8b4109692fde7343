#!/bin/busybox sh
# The guest's first process (tests/real/tier.py puts it in the initramfs):
# the host's root, shared read-only, becomes the guest's root with a layer
# in memory on top, where Wine writes; the shared folder of the bridge goes
# in its place; then the tier's guest script runs, and the guest powers off.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in /m/*.ko; do insmod "$m"; done
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000,cache=loose host /lower
mount -t tmpfs -o size=2g upper /upper
mkdir /upper/data /upper/work
mount -t overlay -o lowerdir=/lower,upperdir=/upper/data,workdir=/upper/work root /root
mount -t proc proc /root/proc
mount -t sysfs sys /root/sys
mount -t devtmpfs dev /root/dev
mkdir -p /root/dev/shm
mount -t tmpfs shm /root/dev/shm
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 chan "/root$kroot/build-real/chan"
chroot /root /bin/bash "$kroot/tests/real/guest.sh"
poweroff -f
