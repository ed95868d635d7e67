#!/usr/bin/env python3
"""Writes the card files that the tests expect, byte for byte, with struct alone.

usage: card_files_oracle.py CASE OUTPUT_FOLDER

CASE is one of:
  empty   the seven database files of a card without songs
  three   three songs: two in Songs (one album, two artists), one in Rhythm; Best ranks the
          Rhythm song first and the first Songs song second
  icon    the icon file of a protected song numbered 300, titled "Protected Song"

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


def name_block(text, protected=False, number=0):
    raw = text.encode("utf-8")
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
