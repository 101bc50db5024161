"""Bitmap files and reference pixels for the picture tests, from Pillow.

Started through Wine's support for Unix programs, whose exit code the caller
cannot read: each command signals completion by its last file appearing
(made.ok, or OUT renamed into place).

  make DIR            writes p1.bmp, p8.bmp and p24.bmp (13 x 7, 1, 8 and 24 bits)
  raw IN OUT [TURNS]  writes IN's pixels, turned TURNS quarter turns counter-clockwise,
                      as "W H\n" and then R, G, B bytes, top row first
"""
import os
import sys

from PIL import Image


def pattern():
    img = Image.new("RGB", (13, 7))
    for y in range(7):
        for x in range(13):
            img.putpixel((x, y), ((x * 19) % 256, (y * 37) % 256, ((x + y) * 11) % 256))
    return img


def main(args):
    if args[0] == "make":
        img = pattern()
        img.convert("1").save(args[1] + "/p1.bmp")
        img.convert("P", palette=Image.ADAPTIVE, colors=256).save(args[1] + "/p8.bmp")
        img.save(args[1] + "/p24.bmp")
        open(args[1] + "/made.ok", "w").close()
    elif args[0] == "raw":
        img = Image.open(args[1]).convert("RGB")
        turns = int(args[3]) if len(args) > 3 else 0
        ops = [None, Image.Transpose.ROTATE_90, Image.Transpose.ROTATE_180, Image.Transpose.ROTATE_270]
        if ops[turns]:
            img = img.transpose(ops[turns])
        with open(args[2] + ".part", "wb") as f:
            f.write(b"%d %d\n" % img.size)
            f.write(img.tobytes())
        os.replace(args[2] + ".part", args[2])
    return 0


sys.exit(main(sys.argv[1:]))
