#!/usr/bin/env python3
"""Writes IN as a Unix pack stream (magic 1F 1E) to OUT; used by the tests to make fixtures.

usage: mkpack.py IN OUT
"""
import heapq
import sys

MAX_DEPTH = 24
END = 256  # end-of-block code, always one of the longest codes


def code_lengths(freq):
    """Huffman code lengths for the symbols of non-zero frequency, at most MAX_DEPTH."""
    while True:
        heap = [(f, i, (s,)) for i, (s, f) in enumerate(sorted(freq.items()))]
        heapq.heapify(heap)
        depth = {s: 0 for s in freq}
        tick = len(heap)
        while len(heap) > 1:
            f1, _, a = heapq.heappop(heap)
            f2, _, b = heapq.heappop(heap)
            for s in a + b:
                depth[s] += 1
            heapq.heappush(heap, (f1 + f2, tick, a + b))
            tick += 1
        if max(depth.values()) <= MAX_DEPTH:
            return depth
        freq = {s: (f + 1) // 2 for s, f in freq.items()}


def pack(data):
    freq = {}
    for b in data:
        freq[b] = freq.get(b, 0) + 1
    if not freq:
        raise SystemExit("mkpack: nothing to pack")
    freq[END] = 1
    depth = code_lengths(freq)
    longest = max(depth.values())
    if depth[END] != longest:  # swap lengths with a longest leaf: the code stays complete
        other = next(s for s in sorted(depth) if depth[s] == longest)
        depth[other], depth[END] = depth[END], longest

    # Leaves level by level; the end code last of the deepest level.
    levels = {d: sorted(s for s in depth if depth[s] == d and s != END) for d in range(1, longest + 1)}
    levels[longest].append(END)
    # Internal nodes per level take the smaller codes.
    inner = [0] * (longest + 2)
    for d in range(longest, 0, -1):
        inner[d - 1] = (inner[d] + len(levels[d])) // 2
    code = {}
    for d in range(1, longest + 1):
        for i, s in enumerate(levels[d]):
            code[s] = (inner[d] + i, d)

    out = bytearray(b"\x1f\x1e")
    out += len(data).to_bytes(4, "big")
    out.append(longest)
    for d in range(1, longest + 1):
        out.append(len(levels[d]) - (2 if d == longest else 0))
    for d in range(1, longest + 1):
        out += bytes(s for s in levels[d] if s != END)

    acc = 0
    nbits = 0
    body = bytearray()
    for s in list(data) + [END]:
        value, length = code[s]
        acc = acc << length | value
        nbits += length
        while nbits >= 8:
            nbits -= 8
            body.append((acc >> nbits) & 0xFF)
        acc &= (1 << nbits) - 1
    if nbits:
        body.append((acc << (8 - nbits)) & 0xFF)
    return bytes(out + body)


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    with open(sys.argv[2], "wb") as f:
        f.write(pack(data))


if __name__ == "__main__":
    main()
