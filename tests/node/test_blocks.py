"""Block submission and proposals judged like the real node, on blocks built here from templates."""

import os
import time
import unittest

from blockbuilder import Candidate, dsha, height_push, spend_op_true
from harness import NodeTestCase, RPCFailure, fixture_json

SEGWIT = {"rules": ["segwit"]}
P2WSH_OP_TRUE_ADDR = "bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85"


class ChainCase(NodeTestCase):
    def setUp(self):
        super().setUp()
        self.node = self.start_node()

    def template(self):
        return self.node.rpc("getblocktemplate", SEGWIT)

    def submit(self, cand):
        return self.node.rpc("submitblock", cand.hex())

    def propose(self, cand):
        return self.node.rpc("getblocktemplate", {"rules": ["segwit"], "mode": "proposal", "data": cand.hex()})


class Submission(ChainCase):
    def test_each_rejection_reason(self):
        self.node.rpc("generatetodescriptor", 3, "raw(51)")
        tpl = self.template()
        self.assertEqual(tpl["height"], 4)

        def variant(bend=None, solve=True, bits=None):
            c = Candidate(tpl)
            if bend:
                bend(c)
            return c.solve(bits) if solve else c

        def set_script(script):
            def bend(c):
                c.coinbase.script_sig = script
            return bend

        def set_field(name, value):
            return lambda c: setattr(c, name, value)

        def plus_one(c):
            c.coinbase.outputs[0] = (c.coinbase.outputs[0][0] + 1, c.coinbase.outputs[0][1])

        cases = {
            "high-hash": Candidate(tpl).unsolve(),
            "bad-txnmrklroot": variant(set_field("merkle_override", b"\x11" * 32)),
            "bad-cb-height": variant(set_script(b"\x01\x04\x00")),  # 4 pushed as data, not OP_4
            "bad-cb-length": variant(set_script(b"\x54")),
            "bad-cb-amount": variant(plus_one),
            "time-too-old": variant(set_field("time", tpl["mintime"] - 1)),
            "time-too-new": variant(set_field("time", int(time.time()) + 2 * 3600 + 120)),
            "bad-version(0x00000001)": variant(set_field("version", 1)),
            "prev-blk-not-found": variant(set_field("prev", b"\x42" * 32)),
        }
        for reason, cand in cases.items():
            self.assertEqual(self.submit(cand), reason, reason)
        wrong_height = variant(set_script(height_push(5) + b"\x00"))
        self.assertEqual(self.submit(wrong_height), "bad-cb-height")
        self.assertEqual(self.submit(wrong_height), "duplicate-invalid")
        harder = variant(set_field("bits", 0x1D00FFFF), solve=False)
        harder.solve(0x207FFFFF)
        while harder.meets(0x1D00FFFF):
            harder.nonce += 1
            harder.solve(0x207FFFFF)
        self.assertEqual(self.submit(harder), "high-hash")
        easier_target = variant(set_field("bits", 0x207FFFFE))
        self.assertEqual(self.submit(easier_target), "bad-diffbits")

        def bad_commitment(c):
            c.coinbase.outputs[1] = (0, c.coinbase.outputs[1][1][:6] + b"\x00" * 32)
        self.assertEqual(self.submit(variant(bad_commitment)), "bad-witness-merkle-match")

        def witness_without_commitment(c):
            del c.coinbase.outputs[1]
        self.assertEqual(self.submit(variant(witness_without_commitment)), "unexpected-witness")
        self.assertEqual(self.node.rpc("getblockcount"), 3, "no rejected block may move the tip")

    def test_undecodable_blocks(self):
        for data in ("00", "deadbeef", "not hex"):
            reply = self.node.call("submitblock", data)
            self.assertEqual(reply.status, 500)
            self.assertEqual(reply.json()["error"], {"code": -22, "message": "Block decode failed"})
        empty = Candidate(self.template())
        header_only = empty.header().hex() + "00"
        self.assertEqual(self.node.call("submitblock", header_only).json()["error"],
                         {"code": -22, "message": "Block does not start with a coinbase"})
        reply = self.node.call("getblocktemplate", {"rules": ["segwit"], "mode": "proposal", "data": "00"})
        self.assertEqual(reply.json()["error"], fixture_json("blocks/proposal-garbage.json")["error"])

    def test_valid_block_duplicate_and_stale_sibling(self):
        self.node.rpc("generatetodescriptor", 3, "raw(51)")
        tpl = self.template()
        self.assertIsNone(self.propose(Candidate(tpl)))
        bad = Candidate(tpl)
        bad.merkle_override = b"\x11" * 32
        self.assertEqual(self.propose(bad), "bad-txnmrklroot")
        no_nonce = Candidate(tpl)
        no_nonce.coinbase.witness = []
        self.assertEqual(self.propose(no_nonce), "bad-witness-nonce-size")

        winner = Candidate(tpl).solve()
        self.assertIsNone(self.submit(winner))
        self.assertEqual(self.node.rpc("getbestblockhash"), winner.hash_hex())
        self.assertEqual(self.submit(winner), "duplicate")
        self.assertEqual(self.propose(winner), "duplicate")

        sibling = Candidate(tpl, script_pubkey=b"\x52").solve()
        self.assertEqual(self.propose(sibling), "inconclusive-not-best-prevblk")
        self.assertEqual(self.submit(sibling), "inconclusive")
        self.assertEqual(self.node.rpc("getbestblockhash"), winner.hash_hex())
        self.assertEqual(self.node.rpc("getblockheader", sibling.hash_hex())["confirmations"], -1)
        self.assertEqual(self.node.rpc("getblockheader", winner.hash_hex())["confirmations"], 1)
        self.assertEqual(self.submit(sibling), "duplicate")

        # The node fills in a missing witness nonce when the commitment is there.
        tpl = self.template()
        self.assertIsNone(self.submit(self._no_nonce(tpl)))
        # An empty block needs no commitment at all.
        self.assertIsNone(self.submit(Candidate(self.template(), with_txs=False).solve()))
        self.assertEqual(self.node.rpc("getblockcount"), 6)

    def _no_nonce(self, tpl):
        c = Candidate(tpl)
        c.coinbase.witness = []
        return c.solve()

    def test_submission_on_a_side_branch_reorganises(self):
        base = self.node.rpc("generatetodescriptor", 2, "raw(51)")
        old_tip = self.node.rpc("generatetodescriptor", 1, "raw(51)")[0]
        # Two blocks on top of block 2, built from a template taken before block 3 existed.
        tpl = {"version": 0x20000000, "previousblockhash": base[1], "curtime": int(time.time()) + 1,
               "bits": "207fffff", "transactions": [], "height": 3, "coinbasevalue": 5000000000,
               "default_witness_commitment": self.template()["default_witness_commitment"]}
        first = Candidate(tpl, script_pubkey=b"\x53").solve()
        self.assertEqual(self.submit(first), "inconclusive")
        tpl2 = dict(tpl, previousblockhash=first.hash_hex(), height=4, curtime=tpl["curtime"] + 1)
        second = Candidate(tpl2, script_pubkey=b"\x53").solve()
        self.assertIsNone(self.submit(second))
        self.assertEqual(self.node.rpc("getbestblockhash"), second.hash_hex())
        self.assertEqual(self.node.rpc("getblockheader", old_tip)["confirmations"], -1)
        self.assertEqual(self.node.rpc("getblockheader", first.hash_hex())["confirmations"], 2)
        self.assertEqual(self.node.rpc("getblockhash", 3), first.hash_hex())


class Transactions(ChainCase):
    def test_blocks_carrying_a_mempool_transaction(self):
        # Coins paid to P2WSH(OP_TRUE), so the spending transaction carries a witness.
        self.node.rpc("generatetoaddress", 101, P2WSH_OP_TRUE_ADDR)
        self.node.control(cmd="mempool-add", fee=10000)
        tpl = self.template()
        self.assertEqual(len(tpl["transactions"]), 1)

        plus_one = Candidate(tpl)
        value, spk = plus_one.coinbase.outputs[0]
        plus_one.coinbase.outputs[0] = (value + 1, spk)
        self.assertEqual(self.submit(plus_one.solve()), "bad-cb-amount")

        no_commitment = Candidate(tpl)
        del no_commitment.coinbase.outputs[1]
        no_commitment.coinbase.witness = []
        self.assertEqual(self.submit(no_commitment.solve()), "unexpected-witness")

        no_fee = Candidate(tpl)
        no_fee.coinbase.outputs[0] = (value - 10000, spk)
        self.assertIsNone(self.propose(no_fee), "claiming less than allowed is fine")

        good = Candidate(tpl)
        self.assertIsNone(self.propose(good))
        self.assertIsNone(self.submit(good.solve()))
        self.assertEqual(self.node.rpc("getrawmempool"), [])
        block = self.node.rpc("getblock", good.hash_hex())
        self.assertEqual(block["tx"][1], tpl["transactions"][0]["txid"])
        self.assertEqual(list(block), list(fixture_json("tx/getblock-with-tx.json")["result"]))
        self.assertEqual(block["size"], len(good.hex()) // 2)
        self.assertEqual(block["weight"], block["strippedsize"] * 3 + block["size"])
        self.assertLess(block["strippedsize"], block["size"])

    def test_a_block_spending_a_missing_or_immature_coin_is_refused(self):
        self.node.rpc("generatetodescriptor", 101, "raw(51)")
        txid = self.node.control(cmd="mempool-add")["txid"]
        tpl = self.template()
        self.assertIsNone(self.submit(Candidate(tpl).solve()))
        again = dict(self.template(), transactions=tpl["transactions"])
        again["coinbasevalue"] = 5000000000 + 10000
        self.assertEqual(self.submit(Candidate(again).solve()), "bad-witness-merkle-match")
        self.assertEqual(self.submit(Candidate(again).recommit().solve()), "bad-txns-inputs-missingorspent")
        self.assertEqual(self.node.rpc("getblock", self.node.rpc("getbestblockhash"))["tx"][1], txid)

        # The coinbase of block 102 is 1 block deep: too young to spend, in a block or in the mempool.
        young = self.node.rpc("getblock", self.node.rpc("getbestblockhash"))["tx"][0]
        tx = spend_op_true(young, 0, 5000000000)
        with self.assertRaises(RPCFailure) as ctx:
            self.node.rpc("sendrawtransaction", tx.hex())
        self.assertEqual(ctx.exception.code, -26)
        self.assertIn("bad-txns-premature-spend-of-coinbase", ctx.exception.message)
        early = Candidate(self.template())
        early.txs, early.txids = [tx], [dsha(tx)]
        self.assertEqual(self.submit(early.recommit().solve()), "bad-txns-premature-spend-of-coinbase")


class Generation(ChainCase):
    def test_generated_blocks_pay_the_given_script(self):
        n = self.node
        [raw_hash] = n.rpc("generatetodescriptor", 1, "raw(51)")
        [addr_hash] = n.rpc("generatetoaddress", 1, P2WSH_OP_TRUE_ADDR)
        got = n.rpc("generateblock", "raw(52)", [])
        self.assertEqual(list(got), list(fixture_json("generateblock-empty.json")["result"]))
        self.assertEqual(n.rpc("getbestblockhash"), got["hash"])

        scan = n.rpc("scantxoutset", "start", [f"addr({P2WSH_OP_TRUE_ADDR})"])
        self.assertEqual(scan["height"], 3)
        [coin] = scan["unspents"]
        self.assertEqual(coin["scriptPubKey"], "0020" + "4ae81572f06e1b88fd5ced7a1a000945432e83e1551e6f721ee9c00b8cc33260")
        self.assertEqual((coin["height"], coin["coinbase"], coin["amount"], coin["blockhash"], coin["confirmations"]),
                         (2, True, 50, addr_hash, 2))
        self.assertTrue(coin["desc"].startswith(f"addr({P2WSH_OP_TRUE_ADDR})#"))
        raw = n.rpc("scantxoutset", "start", ["raw(51)"])
        self.assertEqual([u["blockhash"] for u in raw["unspents"]], [raw_hash])
        self.assertEqual(raw["total_amount"], 50)
        self.assertEqual(n.rpc("scantxoutset", "start", [{"desc": "raw(53)"}])["unspents"], [])

    def test_generateblock_takes_the_listed_transactions_only(self):
        n = self.node
        n.rpc("generatetodescriptor", 101, "raw(51)")
        listed = n.control(cmd="mempool-add")["txid"]
        unlisted = n.control(cmd="mempool-add")["txid"]
        dry = n.rpc("generateblock", "raw(51)", [listed], False)
        self.assertEqual(n.rpc("getblockcount"), 101, "submit=false stores nothing")
        self.assertEqual(dry["hash"], dsha(bytes.fromhex(dry["hex"])[:80])[::-1].hex())
        block = n.rpc("getblock", n.rpc("generateblock", "raw(51)", [listed])["hash"])
        self.assertEqual(block["tx"][1:], [listed])
        self.assertEqual(n.rpc("getrawmempool"), [unlisted])
        with self.assertRaises(RPCFailure) as ctx:
            n.rpc("generateblock", "raw(51)", ["0100"])
        self.assertEqual(ctx.exception.code, -22)

    def test_bad_payees_are_refused(self):
        n = self.node
        broken = P2WSH_OP_TRUE_ADDR[:-1] + ("q" if P2WSH_OP_TRUE_ADDR[-1] != "q" else "p")
        for method, payee in [("generatetoaddress", broken), ("generatetoaddress", "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"),
                              ("generatetodescriptor", "raw(zz)"), ("generatetodescriptor", "raw(51)#aaaaaaaa"),
                              ("generatetodescriptor", "pkh(nothing)")]:
            with self.assertRaises(RPCFailure) as ctx:
                n.rpc(method, 1, payee)
            self.assertEqual(ctx.exception.code, -5, payee)
        self.assertEqual(n.rpc("getblockcount"), 0)

    def test_subsidy_halves_every_150_blocks(self):
        self.node.rpc("generatetodescriptor", 149, "raw(51)")
        self.assertEqual(self.template()["coinbasevalue"], 2500000000)
        self.assertEqual(self.node.rpc("getblockchaininfo")["chainwork"], "%064x" % (2 * 150))


class Invalidation(ChainCase):
    def test_invalidate_rolls_back_and_a_longer_chain_wins_later(self):
        n = self.node
        hashes = n.rpc("generatetodescriptor", 3, "raw(51)")
        self.assertIsNone(n.rpc("invalidateblock", hashes[1]))
        self.assertEqual(n.rpc("getblockcount"), 1)
        self.assertEqual(n.rpc("getbestblockhash"), hashes[0])
        self.assertEqual(n.rpc("getblockheader", hashes[2])["confirmations"], -1)
        self.assertEqual(self.template()["previousblockhash"], hashes[0])
        # A child of the invalid block is refused; a fresh branch is built on block 1.
        tpl = dict(self.template(), previousblockhash=hashes[2], height=4)
        self.assertEqual(self.submit(Candidate(tpl).solve()), "bad-prevblk")
        fresh = n.rpc("generatetodescriptor", 3, "raw(52)")
        self.assertEqual(n.rpc("getblockcount"), 4)
        self.assertEqual(n.rpc("getblockhash", 4), fresh[-1])
        n.rpc("reconsiderblock", hashes[1])
        self.assertEqual(n.rpc("getbestblockhash"), fresh[-1], "the reconsidered branch has less work")
        with self.assertRaises(RPCFailure) as ctx:
            n.rpc("invalidateblock", "00" * 32)
        self.assertEqual(ctx.exception.code, -5)

    def test_header_queries(self):
        n = self.node
        [h] = n.rpc("generatetodescriptor", 1, "raw(51)")
        header = n.rpc("getblockheader", h)
        self.assertEqual(header["height"], 1)
        self.assertEqual(header["previousblockhash"], n.rpc("getblockhash", 0))
        self.assertEqual(n.rpc("getblockheader", n.rpc("getblockhash", 0))["nextblockhash"], h)
        raw = n.rpc("getblockheader", h, False)
        self.assertEqual(len(raw), 160)
        self.assertEqual(n.rpc("getblock", h, 0)[:160], raw)
        for bad, code in [("00" * 32, -5), ("xyz", -8), ("g" * 64, -8)]:
            with self.assertRaises(RPCFailure) as ctx:
                n.rpc("getblockheader", bad)
            self.assertEqual(ctx.exception.code, code, bad)
        with self.assertRaises(RPCFailure) as ctx:
            n.rpc("getblockhash", 5)
        self.assertEqual((ctx.exception.code, ctx.exception.message), (-8, "Block height out of range"))
        # Written with the node's 16 significant digits.
        self.assertEqual(n.rpc("getnetworkhashps"), float("%.16g" % (2 / (header["time"] - 1296688602))))

    def test_a_transaction_is_found_in_the_block_named_or_in_the_mempool(self):
        n = self.node
        n.rpc("generatetodescriptor", 101, "raw(51)")
        loose = n.control(cmd="mempool-add")["txid"]
        self.assertEqual(dsha(bytes.fromhex(n.rpc("getrawtransaction", loose)))[::-1].hex(), loose)
        [h] = n.rpc("generatetodescriptor", 1, "raw(51)")
        block = n.rpc("getblock", h, 1)
        coinbase = n.rpc("getrawtransaction", block["tx"][0], 0, h)
        # The coinbase as the block holds it, its scriptSig the one getblock shows.
        self.assertIn(coinbase, n.rpc("getblock", h, 0))
        self.assertIn(block["coinbase_tx"]["coinbase"], coinbase)
        for args, code in [((block["tx"][0],), -5), ((block["tx"][0], 0, n.rpc("getblockhash", 1)), -5),
                           ((block["tx"][0], 0, "00" * 32), -5), ((block["tx"][0], 1, h), -8)]:
            with self.assertRaises(RPCFailure) as ctx:
                n.rpc("getrawtransaction", *args)
            self.assertEqual(ctx.exception.code, code, args)

    def test_filled_blocks_are_as_big_as_asked_within_the_weight_limit(self):
        n = self.node
        n.rpc("generatetodescriptor", 101, "raw(51)")
        hashes = n.control(cmd="mine", count=2, fill={"transactions": 300, "bytes": 150000})["hashes"]
        self.assertEqual(len(hashes), 2)
        self.assertEqual(n.rpc("getbestblockhash"), hashes[-1])
        for h in hashes:
            block = n.rpc("getblock", h, 1)
            self.assertEqual(block["nTx"], 301)
            self.assertGreater(block["size"], 140000)
            self.assertLessEqual(block["weight"], 4000000)
            self.assertGreater(block["size"], block["strippedsize"])  # witness bytes too
            self.assertEqual(len(n.rpc("getblock", h, 0)) // 2, block["size"])
        refused = n.control(cmd="mine", count=1, fill={"transactions": 10, "bytes": 5000000})
        self.assertFalse(refused["ok"])
        self.assertIn("weight limit", refused["error"])


class ScriptedTarget(NodeTestCase):
    """Templates at a harder target than regtest's, so that a miner can be measured searching."""

    def test_templates_ask_for_the_scripted_bits_which_blocks_may_carry(self):
        node = self.start_node(["-test-template-bits=1f00ffff"])
        tpl = node.rpc("getblocktemplate", SEGWIT)
        self.assertEqual((tpl["bits"], tpl["target"]), ("1f00ffff", "0000ffff" + "00" * 28))
        near_miss = Candidate(tpl).solve(0x207FFFFF)
        while near_miss.meets():
            near_miss.nonce += 1
            near_miss.solve(0x207FFFFF)
        self.assertEqual(node.rpc("submitblock", near_miss.hex()), "high-hash")
        self.assertIsNone(node.rpc("submitblock", Candidate(tpl).solve().hex()))
        # Regtest's own bits stay valid, so blocks generated by the node go on as before.
        [generated] = node.rpc("generatetodescriptor", 1, "raw(51)")
        self.assertEqual(node.rpc("getblockheader", generated)["height"], 2)
        other = Candidate(node.rpc("getblocktemplate", SEGWIT))
        other.bits = 0x207FFFFE
        self.assertEqual(node.rpc("submitblock", other.solve().hex()), "bad-diffbits")

    def test_control_sets_and_clears_the_bits_and_refuses_bad_ones(self):
        node = self.start_node()
        self.assertTrue(node.control(cmd="template-bits", bits="1d00ffff")["ok"])
        tpl = node.rpc("getblocktemplate", SEGWIT)
        self.assertEqual((tpl["bits"], tpl["target"]), ("1d00ffff", "00000000ffff" + "00" * 26))
        # Not hex, not 8 digits, easier than regtest, zero, negative.
        for bad in ["zz00ffff", "1d00ffff0", "21010000", "1d000000", "1d80ffff"]:
            reply = node.control(cmd="template-bits", bits=bad)
            self.assertFalse(reply["ok"], bad)
            self.assertIn(bad, reply["error"])
        self.assertEqual(node.rpc("getblocktemplate", SEGWIT)["bits"], "1d00ffff")
        self.assertTrue(node.control(cmd="template-bits")["ok"])
        self.assertEqual(node.rpc("getblocktemplate", SEGWIT)["bits"], "207fffff")

    def test_the_environment_sets_the_bits_and_a_bad_value_stops_the_start(self):
        node = self.start_node(env={"CORVANTA_TESTNODE_TEMPLATE_BITS": "1d00ffff"})
        self.assertEqual(node.rpc("getblocktemplate", SEGWIT)["bits"], "1d00ffff")
        other = os.path.join(self.tmp, "other")
        os.makedirs(other)
        bad = self.start_node(["-test-template-bits=easy"], wait=False, datadir=other)
        self.assertEqual(bad.wait_exit(), 1)
        self.assertIn("Invalid value for -test-template-bits: 'easy'", bad.output())


if __name__ == "__main__":
    unittest.main()
