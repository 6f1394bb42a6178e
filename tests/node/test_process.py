"""The node as a process: command line, cookie, lock, stopping, start-up faults and persistence."""

import http.client
import os
import signal
import socket
import subprocess
import threading
import time
import unittest

from harness import NODE, NodeTestCase, ReservedPorts, RPCFailure, TestNode, fixture_json, fixture_text


class VersionAndArguments(unittest.TestCase):
    def test_version_output_is_the_real_node_text(self):
        out = subprocess.run([NODE, "--version"], capture_output=True, text=True, timeout=10)
        self.assertEqual(out.returncode, 0)
        self.assertEqual(out.stdout, fixture_text("bitcoind-version.txt"))

    def test_missing_data_directory_is_an_error(self):
        out = subprocess.run([NODE, "-datadir=/nonexistent/ctn", "-regtest=1"], capture_output=True, text=True,
                             timeout=10)
        self.assertEqual(out.returncode, 1)
        self.assertIn('Specified data directory "/nonexistent/ctn" does not exist.', out.stderr)


class Lifecycle(NodeTestCase):
    def test_cookie_is_written_fresh_and_removed_at_exit(self):
        node = self.start_node()
        first = node.cookie()
        self.assertRegex(first, r"^__cookie__:[0-9a-f]{64}$")
        self.assertEqual(os.stat(node.cookie_path).st_mode & 0o777, 0o600)
        node.proc.send_signal(signal.SIGTERM)
        self.assertEqual(node.wait_exit(), 0)
        self.assertFalse(os.path.exists(node.cookie_path))
        again = self.start_node()
        self.assertNotEqual(again.cookie(), first)
        again.proc.send_signal(signal.SIGINT)
        self.assertEqual(again.wait_exit(), 0)

    def test_second_node_on_same_directory_reports_lock_conflict(self):
        self.start_node()
        second = self.start_node(wait=False)
        self.assertEqual(second.wait_exit(), 1)
        out = second.output()
        self.assertIn("Cannot obtain a lock on directory", out)
        self.assertIn("Bitcoin Core is probably already running.", out)
        self.assertIn(os.path.join(self.tmp, "regtest"), out)

    def test_a_taken_listening_port_ends_the_start_after_the_cookie(self):
        # The onion service port (P2P + 1, 127.0.0.1) and the P2P port (every interface) each
        # stop a listening node; a node told not to listen starts beside the held port.
        for held_address, held_offset in (("127.0.0.1", 1), ("0.0.0.0", 0)):
            ports = ReservedPorts(2)
            self.addCleanup(ports.close)
            p2p, port = ports.first, ports.first + held_offset
            with self.subTest(held=held_address), socket.socket() as held:
                held.bind((held_address, port))
                held.listen()
                datadir = os.path.join(self.tmp, held_address)
                os.mkdir(datadir)
                node = self.start_node(["-listen=1", f"-port={p2p}"], wait=False, datadir=datadir, control=False)
                self.assertEqual(node.wait_exit(), 1)
                out = node.output()
                bind_line = (f"Unable to bind to {held_address}:{port} on this computer. "
                             "Bitcoin Core is probably already running.")
                self.assertIn(f"Error: {bind_line}\nError: Failed to listen on any port. Use -listen=0 if you "
                              "want this.\n", out)
                self.assertLess(out.index("Generated RPC authentication cookie"), out.index(bind_line))
                self.assertFalse(os.path.exists(node.cookie_path))

                for quiet in ("-listen=0", "-connect=0"):
                    calm = self.start_node([f"-port={p2p}", quiet], datadir=datadir, control=False)
                    self.assertEqual(calm.rpc("getblockcount"), 0)
                    calm.proc.send_signal(signal.SIGTERM)
                    self.assertEqual(calm.wait_exit(), 0)

    def test_stop_rpc_answers_like_the_real_node_and_exits(self):
        node = self.start_node()
        reply = node.call("stop")
        self.assertEqual(reply.status, 200)
        self.assertEqual(reply.json(), fixture_json("stop.json"))
        self.assertEqual(reply.header_names(), ["Content-Type", "Connection", "Date", "Content-Length"])
        self.assertEqual(node.wait_exit(), 0)
        self.assertFalse(os.path.exists(node.cookie_path))
        self.assertIn("Shutdown: done", node.output())

    def test_a_node_whose_output_reader_is_gone_still_stops_cleanly(self):
        # As when its launcher is killed: its output leads into a pipe nobody reads any more. Its
        # output is buffered, as in a bare environment (a developer's PYTHONUNBUFFERED hid this).
        env = {k: v for k, v in os.environ.items() if k != "PYTHONUNBUFFERED"}
        for how in ("SIGTERM", "stop"):
            with self.subTest(ended_by=how):
                datadir = os.path.join(self.tmp, how)
                os.mkdir(datadir)
                node = TestNode(datadir, control=False)
                read_end, write_end = os.pipe()
                node.proc = subprocess.Popen(node.args(), stdout=write_end, stderr=subprocess.STDOUT, env=env)
                os.close(write_end)
                try:
                    node.wait_ready()
                finally:
                    os.close(read_end)
                try:
                    if how == "SIGTERM":
                        node.proc.send_signal(signal.SIGTERM)
                    else:
                        node.rpc("stop")
                    self.assertEqual(node.proc.wait(30), 0)
                    self.assertFalse(os.path.exists(node.cookie_path))
                finally:
                    if node.proc.poll() is None:
                        node.proc.kill()
                        node.proc.wait()


class StartupFaults(NodeTestCase):
    def test_warmup_flag_answers_minus_28_then_serves(self):
        node = self.start_node(["-test-warmup=1", "-test-warmup-message=Loading banlist…"], wait=False)
        deadline = time.monotonic() + 30
        while not os.path.exists(node.cookie_path):
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.02)
        reply = node.call("getblockcount", rid=1)
        self.assertEqual(reply.status, 500)
        self.assertEqual(reply.body.decode().strip(), fixture_text("warmup-error.txt").split("\n")[0])
        time.sleep(1.1)
        self.assertEqual(node.rpc("getblockcount"), 0)

    def test_control_scripted_faults(self):
        node = self.start_node()
        self.assertTrue(node.control(cmd="fail", method="getblockcount", code=-28, message="Verifying blocks…",
                                     count=1)["ok"])
        with self.assertRaises(RPCFailure) as ctx:
            node.rpc("getblockcount")
        self.assertEqual((ctx.exception.code, ctx.exception.message), (-28, "Verifying blocks…"))
        self.assertEqual(node.rpc("getblockcount"), 0)  # the count is spent

        node.control(cmd="fail", method="getblockchaininfo", http=503)
        self.assertEqual(node.call("getblockchaininfo").status, 503)
        node.control(cmd="delay", method="getconnectioncount", seconds=0.5)
        t0 = time.monotonic()
        self.assertEqual(node.rpc("getconnectioncount"), 0)
        self.assertGreaterEqual(time.monotonic() - t0, 0.5)
        # Held after the call: the block is there before its answer comes.
        # Held long enough that a loaded machine still sees the block before the answer.
        node.control(cmd="delay", method="generatetodescriptor", seconds=5, after=True)
        late = threading.Thread(target=lambda: node.call("generatetodescriptor", 1, "raw(51)", timeout=60))
        late.start()
        deadline = time.monotonic() + 30
        while node.control(cmd="status")["height"] == 0 and time.monotonic() < deadline:
            time.sleep(0.01)
        self.assertEqual(node.control(cmd="status")["height"], 1)
        self.assertTrue(late.is_alive(), "the answer is still held back")
        late.join()
        node.control(cmd="delay", method="generatetodescriptor", seconds=0)
        node.control(cmd="fail", method="submitblock", drop=True, count=1)
        with self.assertRaises(http.client.RemoteDisconnected):
            node.call("submitblock", "00")
        self.assertEqual(node.call("submitblock", "00").status, 500)
        node.control(cmd="clear")
        self.assertEqual(node.call("getblockchaininfo").status, 200)

        node.control(cmd="warmup", seconds=30, message="Rewinding blocks…")
        with self.assertRaises(RPCFailure) as ctx:
            node.rpc("stop")
        self.assertEqual(ctx.exception.code, -28)
        self.assertFalse(node.control(cmd="no-such-command")["ok"])

    def test_settings_from_the_environment_with_the_plain_command_line(self):
        sock = os.path.join(self.tmp, "env.sock")
        node = self.start_node(control=False, wait=False, env={
            "CORVANTA_TESTNODE_CONTROL": sock, "CORVANTA_TESTNODE_WARMUP": "30",
            "CORVANTA_TESTNODE_WARMUP_MESSAGE": "Verifying blocks…", "CORVANTA_TESTNODE_ARGS": "-rpcthreads=1"})
        self.assertFalse(any(a.startswith("-test-") for a in node.args()))
        deadline = time.monotonic() + 30
        while not (os.path.exists(node.cookie_path) and os.path.exists(sock)):
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.02)
        with self.assertRaises(RPCFailure) as ctx:
            node.rpc("getblockcount")
        self.assertEqual((ctx.exception.code, ctx.exception.message), (-28, "Verifying blocks…"))
        node.control_path = sock
        node.control(cmd="clear")
        # Held far longer than a loaded machine needs to bring the request in and ask again.
        node.control(cmd="delay", method="getblockcount", seconds=8)
        slow = threading.Thread(target=node.rpc, args=("getblockcount",), daemon=True)
        slow.start()
        time.sleep(0.5)
        with self.assertRaises(OSError):  # the one worker thread is busy
            node.call("getconnectioncount", timeout=0.4)
        slow.join(30)

    def test_die_exits_with_the_code_and_leaves_the_cookie(self):
        node = self.start_node()
        node.control(cmd="die", code=3)
        self.assertEqual(node.wait_exit(), 3)
        self.assertTrue(os.path.exists(node.cookie_path))


class Persistence(NodeTestCase):
    def test_restart_keeps_accepted_blocks_and_manual_invalidation(self):
        node = self.start_node()
        hashes = node.rpc("generatetodescriptor", 5, "raw(51)")
        node.rpc("invalidateblock", hashes[4])
        node.rpc("stop")
        node.wait_exit()

        again = self.start_node()
        self.assertEqual(again.rpc("getblockcount"), 4)
        self.assertEqual(again.rpc("getbestblockhash"), hashes[3])
        self.assertEqual(again.rpc("getblockheader", hashes[4])["confirmations"], -1)
        # A killed node keeps what it had accepted too. (Another payee: the same script within the
        # same second would rebuild the invalidated block itself.)
        more = again.rpc("generatetodescriptor", 2, "raw(52)")
        again.proc.kill()
        again.wait_exit()
        third = self.start_node()
        self.assertEqual(third.rpc("getbestblockhash"), more[-1])
        info = third.rpc("getblockchaininfo")
        self.assertEqual((info["blocks"], info["headers"]), (6, 6))

    def test_a_torn_journal_line_loses_nothing_else(self):
        node = self.start_node()
        first = node.rpc("generatetodescriptor", 2, "raw(51)")
        node.proc.kill()
        node.wait_exit()
        journal = os.path.join(self.tmp, "regtest", "corvanta-test-chain.jsonl")
        with open(journal, "a") as f:
            f.write('{"block": "0000')  # a write cut short by the crash
        again = self.start_node()
        self.assertEqual(again.rpc("getbestblockhash"), first[-1])
        later = again.rpc("generatetodescriptor", 1, "raw(51)")
        again.rpc("stop")
        again.wait_exit()
        self.assertEqual(self.start_node().rpc("getbestblockhash"), later[0])

    def test_ibd_comes_back_after_a_restart_with_an_old_tip(self):
        node = self.start_node()
        node.rpc("generatetodescriptor", 1, "raw(51)")
        self.assertFalse(node.rpc("getblockchaininfo")["initialblockdownload"])
        node.rpc("stop")
        node.wait_exit()
        later = self.start_node([f"-mocktime={int(time.time()) + 2 * 86400}"])
        self.assertTrue(later.rpc("getblockchaininfo")["initialblockdownload"])
        later.rpc("stop")
        later.wait_exit()
        lenient = self.start_node(["-maxtipage=2000000000"])
        self.assertFalse(lenient.rpc("getblockchaininfo")["initialblockdownload"])


if __name__ == "__main__":
    unittest.main()


class Testnet4LikeMode(NodeTestCase):
    node_args = ("-testnet4=1",)

    def test_scripted_initial_sync_then_the_real_chain_under_testnet4(self):
        node = self.start_node()
        self.assertTrue(os.path.exists(os.path.join(self.tmp, "testnet4", ".cookie")))
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "regtest")))
        info = node.rpc("getblockchaininfo")
        self.assertEqual((info["chain"], info["blocks"], info["headers"]), ("testnet4", 0, 0))
        self.assertTrue(info["initialblockdownload"])
        self.assertEqual(node.rpc("getconnectioncount"), 0)

        node.control(cmd="sync", blocks=120, headers=5000, progress=0.25, ibd=True, peers=3)
        info = node.rpc("getblockchaininfo")
        self.assertEqual((info["blocks"], info["headers"], info["verificationprogress"],
                          info["initialblockdownload"]), (120, 5000, 0.25, True))
        self.assertEqual(node.rpc("getconnectioncount"), 3)
        # A partial script keeps the other figures.
        node.control(cmd="sync", blocks=5000)
        self.assertEqual(node.rpc("getblockchaininfo")["headers"], 5000)

        # Addresses are the test network's; the regtest ones are refused.
        hashes = node.rpc("generatetoaddress", 1, "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx")
        self.assertEqual(len(hashes), 1)
        with self.assertRaises(RPCFailure):
            node.rpc("generatetoaddress", 1, "bcrt1qw508d6qejxtdg4y5r3zarvary0c5xw7kygt080")
        node.control(cmd="sync", done=True)
        info = node.rpc("getblockchaininfo")
        self.assertEqual((info["blocks"], info["headers"]), (1, 1))
        self.assertEqual(node.rpc("getconnectioncount"), 3)
