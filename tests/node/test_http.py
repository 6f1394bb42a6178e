"""HTTP and JSON-RPC framing, compared with the recorded answers of the real node."""

import http.client
import json
import os
import socket
import time
import unittest

from harness import NodeTestCase, fixture_json, fixture_text


def header_lines(name):
    lines = fixture_text(name).strip().split("\n")
    status = lines[0]
    names = [l.split(":", 1)[0] for l in lines[1:]]
    return status, names


class Framing(NodeTestCase):
    def setUp(self):
        super().setUp()
        self.node = self.start_node()

    def check_against(self, reply, stem, same_body=True):
        status, names = header_lines(stem + ".headers.txt")
        self.assertEqual(reply.status, int(status.split()[1]), stem)
        self.assertEqual(reply.header_names(), names, stem)
        self.assertEqual(int(dict(reply.headers)["Content-Length"]), len(reply.body))
        if same_body:
            self.assertEqual(reply.body.decode(), fixture_text(stem + ".json"), stem)

    def test_v1_and_v2_envelopes_and_status_codes(self):
        n = self.node
        self.check_against(n.request({"jsonrpc": "2.0", "id": 1, "method": "getblockcount"}),
                           "http/jsonrpc2-getblockcount", same_body=False)
        self.assertEqual(n.request({"jsonrpc": "2.0", "id": 1, "method": "getblockcount"}).body,
                         b'{"jsonrpc":"2.0","result":0,"id":1}\n')
        self.assertEqual(n.request({"id": 4, "method": "getblockcount"}).body,
                         b'{"result":0,"error":null,"id":4}\n')
        self.check_against(n.request({"jsonrpc": "1.0", "id": 3, "method": "nosuchmethod", "params": []}),
                           "http/jsonrpc1-method-not-found")
        self.check_against(n.request({"jsonrpc": "2.0", "id": 3, "method": "nosuchmethod", "params": []}),
                           "http/jsonrpc2-method-not-found")
        self.check_against(n.request({"jsonrpc": "2.0", "id": 2, "method": "getblocktemplate", "params": [{}]}),
                           "http/jsonrpc2-gbt-no-segwit")
        self.check_against(n.call("getblocktemplate", {}), "gbt-error-no-segwit-rule")
        # The recorded body is bitcoind's whole help text; its start and status are enough here.
        reply = n.call("getblocktemplate")
        self.check_against(reply, "gbt-error-no-params", same_body=False)
        body = json.loads(reply.body)
        self.assertEqual(body["error"]["code"], -1)
        self.assertTrue(body["error"]["message"].startswith('getblocktemplate {"mode":"str",'))
        self.assertIn("bip-0022.mediawiki", body["error"]["message"])

    def test_batch_named_params_and_notifications(self):
        n = self.node
        reply = n.request([{"jsonrpc": "2.0", "id": 5, "method": "getblockcount"},
                           {"jsonrpc": "2.0", "id": 6, "method": "getconnectioncount"}])
        self.check_against(reply, "http/batch-jsonrpc2", same_body=False)
        self.assertEqual(reply.json(), [{"jsonrpc": "2.0", "result": 0, "id": 5},
                                        {"jsonrpc": "2.0", "result": 0, "id": 6}])
        reply = n.request({"jsonrpc": "2.0", "id": 8, "method": "getblocktemplate",
                           "params": {"template_request": {"rules": ["segwit"]}}})
        self.check_against(reply, "http/named-params-gbt", same_body=False)
        self.assertEqual(list(reply.json()["result"]), list(fixture_json("http/named-params-gbt.json")["result"]))
        bad = n.request({"id": 9, "method": "getblockhash", "params": {"hieght": 0}}).json()
        self.assertEqual(bad["error"], {"code": -8, "message": "Unknown named parameter hieght"})
        note = n.request({"jsonrpc": "2.0", "method": "getblockcount"})
        self.assertEqual((note.status, note.body), (204, b""))

    def test_refusals_without_a_json_body(self):
        n = self.node
        self.check_against(n.request("", method="GET"), "http/get-request")
        reply = n.request({"id": 1, "method": "getblockcount"}, auth="Basic " + "eDp5")
        self.check_against(reply, "http/wrong-password")
        self.assertEqual(dict(reply.headers)["WWW-Authenticate"], 'Basic realm="jsonrpc"')
        self.assertEqual(n.request({"id": 1, "method": "getblockcount"}, auth=False).status, 401)
        garbage = n.request(b"{not json")
        self.assertEqual(garbage.status, 500)
        self.assertEqual(garbage.json()["error"], {"code": -32700, "message": "Parse error"})
        invalid = n.request({"id": 1, "method": 7})
        self.assertEqual(invalid.status, 400)
        self.assertEqual(invalid.json()["error"]["code"], -32600)

    def test_keep_alive_serves_several_calls_on_one_connection(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.node.port, timeout=10)
        try:
            for i in range(3):
                reply = self.node.request({"id": i, "method": "getblockcount"}, conn=conn)
                self.assertEqual(reply.json()["id"], i)
            close = self.node.request({"id": 9, "method": "getblockcount"}, conn=conn,
                                      headers={"Connection": "close"})
            self.assertEqual(dict(close.headers).get("Connection"), "close")
        finally:
            conn.close()

    def test_idle_connections_are_closed(self):
        second = os.path.join(self.tmp, "second")
        os.makedirs(second)
        node = self.start_node(["-rpcservertimeout=1"], datadir=second)
        with socket.create_connection(("127.0.0.1", node.port), timeout=5) as s:
            t0 = time.monotonic()
            self.assertEqual(s.recv(10), b"")
            self.assertGreaterEqual(time.monotonic() - t0, 0.9)

    def test_garbage_gets_an_answer_and_the_node_keeps_serving(self):
        n = self.node
        raw_requests = [b"NONSENSE\r\n\r\n", b"POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n",
                        b"POST / HTTP/1.1\r\nContent-Length: many\r\n\r\n",
                        b"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"]
        for raw in raw_requests:
            with socket.create_connection(("127.0.0.1", n.port), timeout=5) as s:
                s.sendall(raw)
                s.shutdown(socket.SHUT_WR)
                s.recv(4096)
        for body in [b"\xff\xfe", b"[" * 5000 + b"]" * 5000, b"42", b'"x"', b"[]"]:
            reply = n.request(body)
            self.assertIn(reply.status, (200, 500), body[:10])
        odd = [None, 1, -1, 2 ** 70, 1.5, "x", "", [], {}, [1], {"a": 1}, True]
        for method in ["getblockhash", "getblockheader", "getblock", "submitblock", "getblocktemplate",
                       "generatetodescriptor", "generatetoaddress", "generateblock", "invalidateblock",
                       "scantxoutset", "getnetworkhashps", "sendrawtransaction", "setmocktime"]:
            for a in odd:
                for params in ([a], [a, a]):
                    doc = n.request({"id": 1, "method": method, "params": params}).json()
                    self.assertTrue(doc["error"] is None or isinstance(doc["error"]["code"], int), (method, params))
        n.rpc("setmocktime", 0)
        self.assertEqual(n.rpc("getblockcount"), n.rpc("getblockchaininfo")["blocks"])

    def test_plain_queries_have_the_recorded_shapes(self):
        n = self.node
        for method, stem in [("getblockchaininfo", "getblockchaininfo"), ("getnetworkinfo", "getnetworkinfo"),
                             ("getblockcount", "getblockcount"), ("getconnectioncount", "getconnectioncount")]:
            reply = n.call(method)
            self.check_against(reply, stem, same_body=False)
            want = fixture_json(stem + ".json")
            got = reply.json()
            if isinstance(want["result"], dict):
                self.assertEqual(list(got["result"]), list(want["result"]), method)
                fixed = {k: v for k, v in want["result"].items() if k not in ("verificationprogress",)}
                self.assertEqual({k: got["result"][k] for k in fixed}, fixed, method)
            else:
                self.assertEqual(got, want, method)
        # Amounts are written with eight decimals, like the node does.
        self.assertIn(b'"relayfee":0.00000100', n.call("getnetworkinfo").body)


if __name__ == "__main__":
    unittest.main()
