"""Best of three Pillow transposes (90 degrees) of a 4000 x 3000 RGB image, in
seconds, written to the file named by the first argument."""
import os
import sys
import time

from PIL import Image

img = Image.frombytes("RGB", (4000, 3000), os.urandom(4000 * 3000 * 3))
best = 1e9
for _ in range(3):
    start = time.perf_counter()
    img.transpose(Image.Transpose.ROTATE_90)
    best = min(best, time.perf_counter() - start)
with open(sys.argv[1] + ".part", "w") as f:
    f.write("%.6f" % best)
os.replace(sys.argv[1] + ".part", sys.argv[1])
