#!/usr/bin/env python3
"""Writes IN as an lh5 stream behind the magic 1F A0 to OUT; used by the tests to make fixtures.

usage: mklh5.py [--block N] [--no-end] IN OUT
  --block N  at most N codes per block (default 16384)
  --no-end   leave out the empty block that ends the stream
"""
import heapq
import sys

DICT = 8192
MIN_MATCH, MAX_MATCH = 3, 256
NC, NT, NP = 510, 19, 14
MAX_LEN = 16
CHAIN = 48


def tokens(data):
    """Greedy LZ77: literals (int) and matches (length, distance)."""
    heads = {}
    prev = [0] * len(data)
    i, n = 0, len(data)
    out = []

    def insert(p):
        if p + 3 <= n:
            key = data[p:p + 3]
            prev[p] = heads.get(key, -1)
            heads[key] = p

    while i < n:
        best_len, best_dist = 0, 0
        if i + MIN_MATCH <= n:
            cand = heads.get(data[i:i + 3], -1)
            limit = min(MAX_MATCH, n - i)
            tries = CHAIN
            while cand >= 0 and i - cand <= DICT and tries:
                length = 0
                while length < limit and data[cand + length] == data[i + length]:
                    length += 1
                if length > best_len:
                    best_len, best_dist = length, i - cand
                    if length == limit:
                        break
                cand = prev[cand]
                tries -= 1
        if best_len >= MIN_MATCH:
            out.append((best_len, best_dist))
            for p in range(i, i + best_len):
                insert(p)
            i += best_len
        else:
            out.append(data[i])
            insert(i)
            i += 1
    return out


def huffman_lengths(freq, size):
    """Code lengths (at most MAX_LEN) for the used symbols; None when fewer than two are used."""
    used = [s for s in range(size) if freq[s]]
    if len(used) < 2:
        return None
    f = {s: freq[s] for s in used}
    while True:
        heap = [(f[s], s, (s,)) for s in used]
        heapq.heapify(heap)
        depth = dict.fromkeys(used, 0)
        tick = size
        while len(heap) > 1:
            f1, _, a = heapq.heappop(heap)
            f2, _, b = heapq.heappop(heap)
            for s in a + b:
                depth[s] += 1
            heapq.heappush(heap, (f1 + f2, tick, a + b))
            tick += 1
        if max(depth.values()) <= MAX_LEN:
            return [depth.get(s, 0) for s in range(size)]
        f = {s: (v + 1) // 2 for s, v in f.items()}


def canonical(lengths):
    count = [0] * (MAX_LEN + 2)
    for n in lengths:
        count[n] += 1
    count[0] = 0
    nxt = [0] * (MAX_LEN + 2)
    code = 0
    for n in range(1, MAX_LEN + 1):
        code = (code + count[n - 1]) << 1
        nxt[n] = code
    codes = [0] * len(lengths)
    for s, n in enumerate(lengths):
        if n:
            codes[s] = nxt[n]
            nxt[n] += 1
    return codes


class Bits:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, count, value):
        self.acc = self.acc << count | (value & ((1 << count) - 1))
        self.n += count
        while self.n >= 8:
            self.n -= 8
            self.out.append((self.acc >> self.n) & 0xFF)
        self.acc &= (1 << self.n) - 1

    def finish(self):
        if self.n:
            self.put(8 - self.n, 0)
        return bytes(self.out)


def pos_symbol(dist):
    off = dist - 1
    return off.bit_length(), off


def char_length_symbols(c_len):
    """The character code lengths as code-length symbols: (symbol, extra bits, value)."""
    n = NC
    while n and c_len[n - 1] == 0:
        n -= 1
    seq = []
    i = 0
    while i < n:
        k = c_len[i]
        i += 1
        if k:
            seq.append((k + 2, 0, 0))
            continue
        run = 1
        while i < n and c_len[i] == 0:
            i += 1
            run += 1
        if run <= 2:
            seq += [(0, 0, 0)] * run
        elif run <= 18:
            seq.append((1, 4, run - 3))
        elif run == 19:
            seq += [(0, 0, 0), (1, 4, 15)]
        else:
            seq.append((2, 9, run - 20))
    return n, seq


def write_lengths(bits, lengths, count_bits, special):
    n = len(lengths)
    while n and lengths[n - 1] == 0:
        n -= 1
    bits.put(count_bits, n)
    i = 0
    while i < n:
        k = lengths[i]
        i += 1
        if k <= 6:
            bits.put(3, k)
        else:
            bits.put(k - 3, (1 << (k - 3)) - 2)
        if i == special:
            while i < 6 and lengths[i] == 0:
                i += 1
            bits.put(2, (i - 3) & 3)


def write_code(bits, lengths, count_bits, special, only):
    if lengths is None:
        bits.put(count_bits, 0)
        bits.put(count_bits, only)
    else:
        write_lengths(bits, lengths, count_bits, special)


def block(bits, toks):
    c_freq = [0] * NC
    p_freq = [0] * NP
    for t in toks:
        if isinstance(t, int):
            c_freq[t] += 1
        else:
            c_freq[t[0] - MIN_MATCH + 256] += 1
            p_freq[pos_symbol(t[1])[0]] += 1
    bits.put(16, len(toks))
    c_len = huffman_lengths(c_freq, NC)
    if c_len is None:
        only = next(s for s in range(NC) if c_freq[s])
        write_code(bits, None, 5, 3, 0)
        write_code(bits, None, 9, -1, only)
        c_code = None
    else:
        n, seq = char_length_symbols(c_len)
        t_freq = [0] * NT
        for s, _, _ in seq:
            t_freq[s] += 1
        t_len = huffman_lengths(t_freq, NT)
        write_code(bits, t_len, 5, 3, next(s for s in range(NT) if t_freq[s]))
        t_code = canonical(t_len) if t_len else None
        bits.put(9, n)
        for s, extra, value in seq:
            if t_code:
                bits.put(t_len[s], t_code[s])
            if extra:
                bits.put(extra, value)
        c_code = canonical(c_len)
    p_len = huffman_lengths(p_freq, NP)
    only_p = next((s for s in range(NP) if p_freq[s]), 0)
    write_code(bits, p_len, 4, -1, only_p)
    p_code = canonical(p_len) if p_len else None

    def put_char(s):
        if c_code:
            bits.put(c_len[s], c_code[s])

    for t in toks:
        if isinstance(t, int):
            put_char(t)
            continue
        put_char(t[0] - MIN_MATCH + 256)
        sym, off = pos_symbol(t[1])
        if p_code:
            bits.put(p_len[sym], p_code[sym])
        if sym > 1:
            bits.put(sym - 1, off)


def main():
    args = sys.argv[1:]
    size, end = 16384, True
    while args and args[0].startswith("--"):
        opt = args.pop(0)
        if opt == "--block":
            size = int(args.pop(0))
        elif opt == "--no-end":
            end = False
        else:
            raise SystemExit(__doc__)
    if len(args) != 2 or not 1 <= size <= 65535:
        raise SystemExit(__doc__)
    with open(args[0], "rb") as f:
        data = f.read()
    toks = tokens(data)
    bits = Bits()
    for start in range(0, len(toks), size):
        block(bits, toks[start:start + size])
    if end:
        bits.put(16, 0)
    with open(args[1], "wb") as f:
        f.write(b"\x1f\xa0" + bits.finish())


if __name__ == "__main__":
    main()
