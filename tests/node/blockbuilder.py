"""Builds regtest blocks from a template, written apart from the node so each checks the other."""

import hashlib
import struct


def dsha(b):
    return hashlib.sha256(hashlib.sha256(b).digest()).digest()


def varint(n):
    if n < 0xFD:
        return bytes([n])
    if n <= 0xFFFF:
        return b"\xfd" + n.to_bytes(2, "little")
    return b"\xfe" + n.to_bytes(4, "little")


def height_push(h):
    """The start of a BIP34 coinbase script: OP_1..OP_16 for small heights, a minimal push otherwise."""
    if 1 <= h <= 16:
        return bytes([0x50 + h])
    n = h.to_bytes((h.bit_length() + 8) // 8, "little")  # keeps a spare byte when the top bit is set
    while len(n) > 1 and n[-1] == 0 and not n[-2] & 0x80:
        n = n[:-1]
    return bytes([len(n)]) + n


def spend_op_true(txid_hex, vout, value):
    """A transaction spending an OP_TRUE output to another OP_TRUE output (no witness)."""
    return (struct.pack("<i", 2) + varint(1) + bytes.fromhex(txid_hex)[::-1] + struct.pack("<I", vout)
            + varint(0) + b"\xfd\xff\xff\xff" + varint(1) + struct.pack("<q", value) + varint(1) + b"\x51"
            + b"\x00" * 4)


class Coinbase:
    def __init__(self, height, value, script_pubkey=b"\x51", commitment=None, nonce=b"\x00" * 32,
                 script_sig=None):
        self.script_sig = height_push(height) + b"\x00" if script_sig is None else script_sig
        self.outputs = [(value, script_pubkey)]
        if commitment is not None:
            self.outputs.append((0, commitment))
        self.witness = [nonce] if commitment is not None else []

    def serialize(self, witness=True):
        body = varint(1) + b"\x00" * 32 + b"\xff\xff\xff\xff" + varint(len(self.script_sig)) + self.script_sig
        body += b"\xff\xff\xff\xff" + varint(len(self.outputs))
        for value, spk in self.outputs:
            body += struct.pack("<q", value) + varint(len(spk)) + spk
        if witness and self.witness:
            wit = varint(len(self.witness)) + b"".join(varint(len(w)) + w for w in self.witness)
            return struct.pack("<i", 2) + b"\x00\x01" + body + wit + b"\x00" * 4
        return struct.pack("<i", 2) + body + b"\x00" * 4

    def txid(self):
        return dsha(self.serialize(False))


def merkle(hashes):
    while len(hashes) > 1:
        if len(hashes) % 2:
            hashes = hashes + [hashes[-1]]
        hashes = [dsha(hashes[i] + hashes[i + 1]) for i in range(0, len(hashes), 2)]
    return hashes[0]


class Candidate:
    """A block built like a miner builds it from getblocktemplate; every field can be bent before solving."""

    def __init__(self, template, script_pubkey=b"\x51", with_txs=True):
        self.version = template["version"]
        self.prev = bytes.fromhex(template["previousblockhash"])[::-1]
        self.time = template["curtime"]
        self.bits = int(template["bits"], 16)
        self.nonce = 0
        self.txs = [bytes.fromhex(t["data"]) for t in template["transactions"]] if with_txs else []
        self.txids = [bytes.fromhex(t["txid"])[::-1] for t in template["transactions"]] if with_txs else []
        commitment = bytes.fromhex(template["default_witness_commitment"]) if with_txs else None
        self.coinbase = Coinbase(template["height"], template["coinbasevalue"], script_pubkey, commitment)
        self.merkle_override = None

    def recommit(self):
        """Recomputes the witness commitment for the transactions the block now carries."""
        wtxids = [b"\x00" * 32] + [dsha(tx) for tx in self.txs]
        nonce = self.coinbase.witness[0] if self.coinbase.witness else b"\x00" * 32
        commitment = bytes.fromhex("6a24aa21a9ed") + dsha(merkle(wtxids) + nonce)
        self.coinbase.outputs[-1] = (0, commitment)
        return self

    def merkle_root(self):
        if self.merkle_override is not None:
            return self.merkle_override
        return merkle([self.coinbase.txid()] + self.txids)

    def header(self):
        return (struct.pack("<i", self.version) + self.prev + self.merkle_root()
                + struct.pack("<III", self.time, self.bits, self.nonce))

    def hash(self):
        return dsha(self.header())

    def hash_hex(self):
        return self.hash()[::-1].hex()

    def meets(self, bits=None):
        bits = self.bits if bits is None else bits
        exp = bits >> 24
        target = (bits & 0xFFFFFF) << (8 * (exp - 3))
        return int.from_bytes(self.hash(), "little") <= target

    def solve(self, bits=None):
        while not self.meets(bits):
            self.nonce += 1
        return self

    def unsolve(self):
        """Finds a nonce whose hash misses even the easiest regtest target."""
        while self.meets(0x207FFFFF):
            self.nonce += 1
        return self

    def hex(self):
        body = varint(1 + len(self.txs)) + self.coinbase.serialize() + b"".join(self.txs)
        return (self.header() + body).hex()
