"""The node's serialization and hashing against values a real node recorded (no process started)."""

import types
import unittest

from harness import NODE, fixture_json


def load_node_module():
    """The node script as a module (it only runs when executed as a program)."""
    module = types.ModuleType("corvanta_test_node")
    module.__file__ = NODE
    with open(NODE, encoding="utf-8") as f:
        exec(compile(f.read(), NODE, "exec"), module.__dict__)
    return module


ctn = load_node_module()


class RecordedValues(unittest.TestCase):
    def test_witness_transaction_ids_weight_and_commitment(self):
        tpl = fixture_json("tx/gbt-with-1-tx.json")["result"]
        entry = tpl["transactions"][0]
        tx = ctn.Tx.read(ctn.Reader(bytes.fromhex(entry["data"])))
        self.assertEqual(tx.serialize().hex(), entry["data"])
        self.assertEqual(ctn.hash_hex(tx.txid), entry["txid"])
        self.assertEqual(ctn.hash_hex(tx.wtxid), entry["hash"])
        self.assertEqual(tx.weight(), entry["weight"])
        self.assertEqual(ctn.commitment_script([ctn.Tx(), tx]).hex(), tpl["default_witness_commitment"])

    def test_merkle_root_of_a_recorded_block(self):
        block = fixture_json("tx/getblock-with-tx.json")["result"]
        root, mutated = ctn.merkle_root([bytes.fromhex(h)[::-1] for h in block["tx"]])
        self.assertEqual(ctn.hash_hex(root), block["merkleroot"])
        self.assertFalse(mutated)
        a, b, c = (bytes([i]) * 32 for i in (1, 2, 3))
        self.assertTrue(ctn.merkle_root([a, b, c, c])[1], "a duplicated last pair is a mutation")
        self.assertEqual(ctn.merkle_root([a, b, c])[0], ctn.merkle_root([a, b, c, c])[0])

    def test_numbers_as_the_node_writes_them(self):
        info = fixture_json("getblockchaininfo.json")["result"]
        self.assertEqual(ctn.dumps(ctn.difficulty(0x207FFFFF)), repr(info["difficulty"]))
        self.assertEqual(ctn.dumps(ctn.Amount(100)), "0.00000100")
        self.assertEqual(ctn.dumps(ctn.Amount(-150000000)), "-1.50000000")
        self.assertEqual(ctn.dumps(1.0), "1")
        self.assertEqual("%064x" % ctn.block_work(0x207FFFFF), info["chainwork"])  # genesis alone

    def test_heights_in_coinbase_scripts(self):
        self.assertEqual(ctn.script_int(4), b"\x54")
        self.assertEqual(ctn.script_int(16), b"\x60")
        self.assertEqual(ctn.script_int(17), b"\x01\x11")
        self.assertEqual(ctn.script_int(128), b"\x02\x80\x00")
        self.assertEqual(ctn.script_int(108), bytes.fromhex("016c"))  # as in the recorded coinbase

    def test_descriptors_and_addresses(self):
        self.assertEqual(ctn.descriptor_checksum("raw(deadbeef)"), "89f8spxm")
        self.assertEqual(ctn.descriptor_to_script("raw(deadbeef)#89f8spxm"), bytes.fromhex("deadbeef"))
        addr = "bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85"
        spk = ctn.address_to_script(addr)
        self.assertEqual(spk, ctn.P2WSH_OP_TRUE)
        self.assertEqual(ctn.script_to_address(spk), addr)
        taproot = ctn.segwit_encode(1, bytes(range(32)))
        self.assertEqual(ctn.address_to_script(taproot), b"\x51\x20" + bytes(range(32)))
        # The same program under the other checksum constant is not an address.
        v0_as_bech32m = ctn.segwit_encode(1, ctn.P2WSH_OP_TRUE[2:]).replace("bcrt1p", "bcrt1q")
        self.assertIsNone(ctn.address_to_script(v0_as_bech32m))
        legacy = ctn.base58_encode_check(b"\x6f" + bytes(20))
        self.assertEqual(ctn.address_to_script(legacy), b"\x76\xa9\x14" + bytes(20) + b"\x88\xac")
        self.assertIsNone(ctn.address_to_script("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"))

    def test_garbage_never_decodes_to_a_block(self):
        for text in ("", "0", "zz", "00", "deadbeef", "00" * 80, "01" * 81 + "ff"):
            self.assertIsNone(ctn.decode_block_hex(text), text)


if __name__ == "__main__":
    unittest.main()
