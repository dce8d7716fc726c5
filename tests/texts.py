"""The programs' fixed texts, byte for byte, as the test scripts expect them."""

CLOSING = b"\nNyomj egy karaktert \xe9s egy entert, ha ki akarsz l\xe9pni a programb\xf3l!\n"
# value_table's three prompts, as they stand when no read waits between them.
VT_HEAD = b"kezd\xf5 \xe9rt\xe9k = v\xe9g \xe9rt\xe9k = l\xe9p\xe9sk\xf6z = "
TT_HEAD = b"a = b = c = "
BUILT = b"\nA megadott oldalak alapj\xe1n a h\xe1romsz\xf6g elk\xe9sz\xedthet\xf5!\n"
NOT_BUILT = b"\nA megadott oldalak alapj\xe1n a h\xe1romsz\xf6g nem elk\xe9sz\xedthet\xf5!\n"
