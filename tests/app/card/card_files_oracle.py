#!/usr/bin/env python3
"""Writes the card files that the tests expect, byte for byte, with struct alone.

usage: card_files_oracle.py CASE OUTPUT_FOLDER

CASE is one of:
  empty   the seven database files of a card without songs
  three   three songs: two in Songs (one album, two artists), one in Rhythm; Best ranks the
          Rhythm song first and the first Songs song second
  icon    the icon file of a protected song numbered 300, titled "Protected Song"
  mixed   the card of MIXED_SONGS below, its lists sorted and grouped here by the rules of the
          card's files

Pictures come from the tests' stand-in renderer: a text of k bytes is 12 rows of k bytes,
byte i of row r being text byte i XOR (0x11 * r).
"""
import os
import struct
import sys

SLOTS, RECORDS, LIST_SONGS, LIST_GROUPS = 4000, 2000, 4000, 2000
NO_NAME = 0xFFFF


def picture(text):
    data = text.encode("utf-8")
    return bytes((b ^ (0x11 * r)) & 0xFF for r in range(12) for b in data)


def char_length(b):
    """Bytes of the character that starts with byte b: the leading 1-bits of b & 0xFC, at least one."""
    if b < 0x80:
        return 1
    bits, n = b & 0xFC, 0
    while bits & 0x80:
        n, bits = n + 1, (bits << 1) & 0xFF
    return max(n, 1)


def cut_whole(raw, limit):
    """The longest prefix of at most limit bytes that ends on a whole character."""
    if len(raw) <= limit:
        return raw
    i = 0
    while i < len(raw) and i + char_length(raw[i]) <= limit:
        i += char_length(raw[i])
    return raw[:i]


def name_block(text, protected=False, number=0):
    raw = cut_whole(text.encode("utf-8"), 256)
    pic = picture(text if text else " ")
    kept = min(len(pic), 756)
    width = kept * 8 // 12
    flags = 0x2000 | (0x8000 if protected else 0) | (number & 0xFF)
    if len(pic) > 756:
        row = len(pic) // 12
        pic = b"".join(pic[r * row:r * row + 63] for r in range(12))
    field = raw[:256].ljust(256, b"\0")
    return field + struct.pack(">HHHH", flags, 0, width, 12) + pic.ljust(756, b"\0")


def chunk(cid, body):
    return cid + struct.pack(">I", len(body)) + body


def qm3_file(data_id, body, tail=b""):
    inner = chunk(b"fmt ", struct.pack(">I", 1)) + chunk(data_id, body)
    return b"QM-3" + struct.pack(">I", len(inner)) + inner + tail


def song_names(paths):
    entries = b"".join(p.encode("ascii")[:256].ljust(256, b"\0") for p in paths)
    entries = entries.ljust(SLOTS * 256, b"\0")
    return qm3_file(b"Q3D0", struct.pack(">IH", 1, SLOTS) + entries)


def name_table(records):
    body = b"".join(struct.pack(">HH", kind, 0) + name_block(text) for kind, text in records)
    body = body.ljust(RECORDS * 1024, b"\0")
    return qm3_file(b"Q3D1", struct.pack(">IH", 1, RECORDS) + body)


def song_list(title, numbers, groups):
    body = struct.pack(">IHH", 1, LIST_SONGS, LIST_GROUPS) + name_block(title)
    body += struct.pack(">HH", len(numbers), len(groups))
    body += b"".join(struct.pack(">H", n) for n in numbers)
    body += b"".join(struct.pack(">HHHH", f, c, i, 0) for f, c, i in groups)
    tail = b"\0" * ((LIST_SONGS - len(numbers)) * 2 + (LIST_GROUPS - len(groups)) * 8)
    data = qm3_file(b"Q3D2", body, tail)
    assert len(data) == 25060
    return data


# slot, file extension, title, artist, album, number, list ("songs", "user", "rhythm", or None for
# a slot left empty); then the Best ranking. One path is longer than its 256-byte field.
LONG_ALBUM = "\u3042" * 100 + "x"   # 301 bytes: the name field keeps 85 whole characters
MIXED_SONGS = [
    (0, ".WAV", "Zulu", "Band", "abc", 1, "songs"),
    (1, ".MP3", "alpha", "band", "ABC", 1, "songs"),
    (2, ".Q3R", "Mike", "Band", "Same", 3, "songs"),
    (3, ".WAV", "kilo", "Solo", "Same", 1, "songs"),
    (4, ".WAV", "Echo", "Solo", "Same", 2, "songs"),
    (5, ".mp3", "Golf", "Band", "Same", 2, "songs"),
    (6, ".WAV", "Long", "R" * 255, LONG_ALBUM, 0, "songs"),
    (7, ".WAV", "Nameless", "", "", 0, "songs"),
    (8, ".WAV", "b", "~USER", "~USER", 0, "user"),
    (9, ".WAV", "B", "~USER", "~USER", 0, "user"),
    (10, ".WAV", "a", "~USER", "~USER", 0, "user"),
    (11, ".Q3R", "Beat", "~RHYTHM", "~RHYTHM", 0, "rhythm"),
    (12, "L" * 260 + ".WAV", "drum", "~RHYTHM", "~RHYTHM", 0, "rhythm"),
    (13, None, "", "", "", 0, None),
    (14, ".WAV", "Omega", "Solo", "Same", -1, "songs"),
]
MIXED_BEST = [6, 0, 9]


def mixed_card():
    def path(slot, extension):
        if extension is None:
            return ""
        if len(extension) > 8:  # the long name is the whole file name
            return "A:\\CORVANE\\QM\\DB\\%03d\\%s" % (slot // 100, extension)
        return "A:\\CORVANE\\QM\\DB\\%03d\\%04d%s" % (slot // 100, slot, extension)

    paths = [path(s[0], s[1]) for s in MIXED_SONGS]
    songs = [s for s in MIXED_SONGS if s[6] == "songs"]
    b = lambda text: text.encode("utf-8")
    albums = sorted({b(s[4]) for s in songs})
    artists = sorted({b(s[3]) for s in songs})
    records = [(1, a.decode("utf-8")) for a in albums] + [(2, a.decode("utf-8")) for a in artists]

    def grouped(key, kind, sort_key):
        ordered = sorted(songs, key=sort_key)
        groups, first = [], 0
        while first < len(ordered):
            end = first
            while end < len(ordered) and key(ordered[end]) == key(ordered[first]):
                end += 1
            field = cut_whole(key(ordered[first]), 256)
            index = next(i for i, (k, t) in enumerate(records) if k == kind and cut_whole(b(t), 256) == field)
            groups.append((first, end - first, index))
            first = end
        return [s[0] for s in ordered], groups

    by_album = grouped(lambda s: b(s[4]), 1, lambda s: (b(s[4]).upper(), b(s[4]), s[5], s[0]))
    by_artist = grouped(lambda s: b(s[3]), 2,
                        lambda s: (b(s[3]).upper(), b(s[3]), b(s[4]).upper(), b(s[4]), s[5], s[0]))
    by_title = lambda kind: [s[0] for s in sorted((s for s in MIXED_SONGS if s[6] == kind),
                                                  key=lambda s: (b(s[2]).upper(), b(s[2]), s[0]))]
    return database(paths, records, by_album, by_artist, MIXED_BEST, by_title("user"), by_title("rhythm"))


def database(paths, records, album, artist, best, user, rhythm):
    return {
        "SONGNAME.Q3D": song_names(paths),
        "PLAYLIST.Q3D": name_table(records),
        "SL_ALBUM.Q3D": song_list("ALBUM", *album),
        "SL_ARTST.Q3D": song_list("ARTIST", *artist),
        "SL_BEST.Q3D": song_list("BEST10", best, [(0, len(best), NO_NAME)]),
        "SL_MYSNG.Q3D": song_list("MYSONG", user, [(0, len(user), NO_NAME)]),
        "SL_RHYTM.Q3D": song_list("RHYTHM", rhythm, [(0, len(rhythm), NO_NAME)]),
    }


def main():
    case, folder = sys.argv[1], sys.argv[2]
    if case == "empty":
        files = database([], [], ([], []), ([], []), [], [], [])
    elif case == "three":
        # slot 0: "Alpha", artist "Zed", album "First", number 2   (Songs)
        # slot 1: "beta",  artist "Band", album "First", number 1  (Songs)
        # slot 2: "Gamma", Rhythm
        paths = ["A:\\CORVANE\\QM\\DB\\000\\0000.WAV", "A:\\CORVANE\\QM\\DB\\000\\0001.MP3",
                 "A:\\CORVANE\\QM\\DB\\000\\0002.Q3R"]
        records = [(1, "First"), (2, "Band"), (2, "Zed")]
        album = ([1, 0], [(0, 2, 0)])            # by album, then number
        artist = ([1, 0], [(0, 1, 1), (1, 1, 2)])  # "BAND" before "ZED"
        files = database(paths, records, album, artist, [2, 0], [], [2])
    elif case == "mixed":
        files = mixed_card()
    elif case == "icon":
        body = struct.pack(">I", 1) + name_block("Protected Song", True, 300)
        files = {"0300.Q3I": qm3_file(b"Q3I ", body)}
    else:
        sys.exit("unknown case " + case)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    print(" ".join(sorted(files)))


if __name__ == "__main__":
    main()
