"""Block templates, long-polls and the bounded pool of RPC worker threads."""

import json
import os
import signal
import socket
import threading
import time
import unittest

from blockbuilder import Candidate
from harness import NodeTestCase, fixture_json

SEGWIT = {"rules": ["segwit"]}


class Template(NodeTestCase):
    def test_fresh_template_matches_the_recorded_one(self):
        node = self.start_node()
        got = node.rpc("getblocktemplate", SEGWIT)
        want = fixture_json("getblocktemplate-fresh-chain.json")["result"]
        self.assertEqual(list(got), list(want))
        moving = {"curtime"}
        self.assertEqual({k: v for k, v in got.items() if k not in moving},
                         {k: v for k, v in want.items() if k not in moving})
        self.assertLessEqual(abs(got["curtime"] - time.time()), 5)

    def test_template_follows_the_chain(self):
        node = self.start_node()
        hashes = node.rpc("generatetodescriptor", 3, "raw(51)")
        tpl = node.rpc("getblocktemplate", SEGWIT)
        self.assertEqual(tpl["previousblockhash"], hashes[-1])
        self.assertEqual(tpl["height"], 4)
        # One connected block per step of the update counter, starting from 1 with the genesis block.
        self.assertEqual(tpl["longpollid"], hashes[-1] + "4")
        times = [node.rpc("getblockheader", h)["time"] for h in hashes]
        self.assertEqual(tpl["mintime"], sorted([1296688602] + times)[2] + 1)

    def test_transaction_in_the_template(self):
        node = self.start_node()
        node.rpc("generatetodescriptor", 100, "raw(51)")  # exactly one mature coinbase output
        added = node.control(cmd="mempool-add", fee=10000)
        self.assertTrue(added["ok"], added)
        tpl = node.rpc("getblocktemplate", SEGWIT)
        want = fixture_json("tx/gbt-with-1-tx.json")["result"]
        self.assertEqual(list(tpl), list(want))
        [tx] = tpl["transactions"]
        self.assertEqual(list(tx), list(want["transactions"][0]))
        self.assertEqual(tx["txid"], added["txid"])
        self.assertEqual((tx["fee"], tx["sigops"], tx["depends"]), (10000, 0, []))
        self.assertEqual(tpl["coinbasevalue"], 5000000000 + 10000)
        self.assertNotEqual(tpl["default_witness_commitment"], want["default_witness_commitment"])
        # With no other coin left, the next one spends the first: a child names its parent.
        node.control(cmd="mempool-add")
        second = node.rpc("getblocktemplate", SEGWIT)["transactions"]
        self.assertEqual(second[1]["depends"], [1])

    def test_errors(self):
        node = self.start_node()
        for params, code in [({"rules": ["segwit"], "longpollid": "xyz"}, -8),
                             ({"rules": ["segwit"], "mode": "bogus"}, -8),
                             ({"mode": "proposal"}, -3), ("segwit", -3)]:
            reply = node.call("getblocktemplate", params).json()
            self.assertEqual(reply["error"]["code"], code, params)
        self.assertEqual(node.call("getblocktemplate", {"mode": "proposal"}).json(),
                         dict(fixture_json("blocks/proposal-missing-data.json"), id="t"))


class SignetLikeMode(NodeTestCase):
    """A signet look-alike answers as the real one (signet/ fixtures): every template needs the
    signet rule and states the challenge; blocks need their solution, proposals do not."""

    node_args = ("-signet=1",)
    BOTH = {"rules": ["segwit", "signet"]}

    def test_the_default_signet_refuses_blocks_without_its_signature(self):
        node = self.start_node()
        self.assertTrue(os.path.exists(os.path.join(self.tmp, "signet", ".cookie")))
        info = node.rpc("getblockchaininfo")
        want = fixture_json("signet/getblockchaininfo-default.json")["result"]
        self.assertEqual(list(info), list(want))
        self.assertEqual((info["chain"], info["signet_challenge"]), ("signet", want["signet_challenge"]))

        for rules, fixture in [(["segwit"], "gbt-error-no-signet-rule"), (["signet"], "gbt-error-signet-rule-only")]:
            self.assertEqual(node.call("getblocktemplate", {"rules": rules}).json(),
                             fixture_json(f"signet/{fixture}.json"), rules)
        tpl = node.rpc("getblocktemplate", self.BOTH)
        want = fixture_json("signet/gbt-default.json")["result"]
        self.assertEqual(list(tpl), list(want))
        self.assertEqual((tpl["rules"], tpl["signet_challenge"]), (want["rules"], want["signet_challenge"]))

        unsigned = Candidate(tpl).solve()
        self.assertIsNone(node.rpc("getblocktemplate", dict(self.BOTH, mode="proposal", data=unsigned.hex())))
        self.assertEqual(node.rpc("submitblock", unsigned.hex()), "bad-signet-blksig")
        # Before the merkle root: a block whose coinbase no longer matches its header says the same.
        unsigned.merkle_override = unsigned.merkle_root()
        unsigned.coinbase.script_sig += b"\x01"
        self.assertEqual(node.rpc("submitblock", unsigned.hex()), "bad-signet-blksig")
        self.assertEqual(node.rpc("getblockcount"), 0)

    def test_an_op_true_signet_takes_blocks_with_a_commitment(self):
        node = self.start_node(["-signetchallenge=51"])
        self.assertEqual(node.rpc("getblockchaininfo")["signet_challenge"], "51")
        tpl = node.rpc("getblocktemplate", self.BOTH)
        self.assertEqual(tpl["signet_challenge"], "51")
        self.assertEqual(node.rpc("submitblock", Candidate(tpl, with_txs=False).solve().hex()),
                         "bad-signet-blksig")
        self.assertIsNone(node.rpc("submitblock", Candidate(tpl).solve().hex()))
        self.assertEqual(node.rpc("getblockcount"), 1)
        # Its own blocks carry a commitment: generatetoaddress works there, as on the real node.
        self.assertEqual(len(node.rpc("generatetoaddress", 1, "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx")), 1)

    def test_a_challenge_that_is_not_hex_stops_the_start(self):
        node = self.start_node(["-signetchallenge=zz"], wait=False)
        self.assertEqual(node.wait_exit(), 1)
        self.assertIn("Error: -signetchallenge must be hex, not 'zz'.", node.output())


def long_poll(node, lpid, timeout=10):
    return node.rpc("getblocktemplate", {"rules": ["segwit"], "longpollid": lpid}, timeout=timeout)


class LongPoll(NodeTestCase):
    def start_poll(self, node, lpid):
        box = {}

        def run():
            t0 = time.monotonic()
            box["template"] = long_poll(node, lpid)
            box["after"] = time.monotonic() - t0

        t = threading.Thread(target=run, daemon=True)
        t.start()
        return t, box

    def test_new_tip_answers_at_once(self):
        node = self.start_node(["-test-longpoll-mempool-delay=30"])
        lpid = node.rpc("getblocktemplate", SEGWIT)["longpollid"]
        t, box = self.start_poll(node, lpid)
        time.sleep(0.5)
        self.assertTrue(t.is_alive(), "a long-poll on the current template must wait")
        [h] = node.rpc("generatetodescriptor", 1, "raw(51)")
        t.join(5)
        self.assertFalse(t.is_alive())
        self.assertEqual(box["template"]["previousblockhash"], h)
        self.assertLess(box["after"], 2)
        # A long-poll id from an older tip answers without waiting.
        t0 = time.monotonic()
        self.assertEqual(long_poll(node, lpid)["previousblockhash"], h)
        self.assertLess(time.monotonic() - t0, 1)

    def test_mempool_change_answers_after_the_delay(self):
        node = self.start_node(["-test-longpoll-mempool-delay=1.2"])
        node.rpc("generatetodescriptor", 101, "raw(51)")
        lpid = node.rpc("getblocktemplate", SEGWIT)["longpollid"]
        t, box = self.start_poll(node, lpid)
        time.sleep(0.2)
        node.control(cmd="mempool-add")
        t.join(5)
        self.assertFalse(t.is_alive())
        self.assertGreaterEqual(box["after"], 1.1)
        self.assertLess(box["after"], 2.5)
        self.assertEqual(len(box["template"]["transactions"]), 1)
        self.assertNotEqual(box["template"]["longpollid"], lpid)

    def test_mempool_change_after_the_first_wait_is_seen_at_the_next_check(self):
        node = self.start_node(["-test-longpoll-mempool-delay=0.6"])
        lpid = node.rpc("getblocktemplate", SEGWIT)["longpollid"]
        t, box = self.start_poll(node, lpid)
        time.sleep(1.0)
        self.assertTrue(t.is_alive(), "nothing changed: the long-poll keeps waiting")
        node.control(cmd="mempool-touch")
        t.join(5)
        self.assertFalse(t.is_alive())
        self.assertLess(box["after"], 2.5)


class WorkerThreads(NodeTestCase):
    def abandon_long_poll(self, node, lpid):
        """Sends a long-poll and hangs up without waiting for the answer."""
        body = json.dumps({"id": 1, "method": "getblocktemplate",
                           "params": [{"rules": ["segwit"], "longpollid": lpid}]}).encode()
        s = socket.create_connection(("127.0.0.1", node.port))
        s.sendall(b"POST / HTTP/1.1\r\nHost: x\r\nAuthorization: " + node.auth_header().encode()
                  + b"\r\nContent-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
        time.sleep(0.2)
        s.close()

    def test_abandoned_long_polls_exhaust_the_workers_until_sigterm(self):
        node = self.start_node(["-rpcthreads=2", "-test-longpoll-mempool-delay=60"])
        lpid = node.rpc("getblocktemplate", SEGWIT)["longpollid"]
        self.abandon_long_poll(node, lpid)
        self.abandon_long_poll(node, lpid)
        for method in ("getblockcount", "stop"):
            with self.assertRaises(socket.timeout):
                node.call(method, timeout=0.7)
        self.assertEqual(node.control(cmd="status")["busy_workers"], 2)
        node.proc.send_signal(signal.SIGTERM)
        self.assertEqual(node.wait_exit(5), 0)

    def test_a_block_from_elsewhere_frees_the_workers(self):
        node = self.start_node(["-rpcthreads=1", "-test-longpoll-mempool-delay=60"])
        lpid = node.rpc("getblocktemplate", SEGWIT)["longpollid"]
        self.abandon_long_poll(node, lpid)
        with self.assertRaises(socket.timeout):
            node.call("getblockcount", timeout=0.5)
        mined = node.control(cmd="mine", count=1)
        self.assertTrue(mined["ok"], mined)
        self.assertEqual(node.rpc("getblockcount", timeout=3), 1)
        self.assertEqual(node.rpc("getbestblockhash"), mined["hashes"][0])

if __name__ == "__main__":
    unittest.main()
