"""Runs the test node as a child process and talks to it, for the node's own tests."""

import base64
import fcntl
import http.client
import json
import os
import random
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
NODE = os.path.join(HERE, "corvanta-test-node")
# Answers recorded from a real bitcoind 31.1 on regtest.
FIXTURES = os.path.join(HERE, "fixtures", "bitcoind-31.1")


def fixture_text(name):
    with open(os.path.join(FIXTURES, name), encoding="utf-8") as f:
        return f.read()


def fixture_json(name):
    return json.loads(fixture_text(name))


def _ephemeral_range():
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range", encoding="ascii") as f:
            low, high = map(int, f.read().split())
            return low, high
    except (OSError, ValueError):
        return 32768, 60999


def _bindable(family, port):
    try:
        sock = socket.socket(family, socket.SOCK_STREAM)
    except OSError:
        return family == socket.AF_INET6  # no IPv6 here: nothing to collide with
    with sock:
        if family == socket.AF_INET6:
            sock.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        try:
            sock.bind(("::" if family == socket.AF_INET6 else "0.0.0.0", port))
            return True
        except OSError:
            return False


class ReservedPorts:
    """`count` consecutive ports outside the ephemeral range, free on every address when reserved
    and kept from every other test process until closed: the lock file and byte-per-port locks of
    tests/TestSupport, so the C++ tests and these never hand out the same port."""

    def __init__(self, count=1):
        path = os.path.join(tempfile.gettempdir(), f"corvanta-test-ports-{os.getuid()}.lock")
        self.fd = os.open(path, os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o600)
        low, high = _ephemeral_range()
        starts = [p for p in range(10000, 65536 - count + 1) if p + count - 1 < low or p > high]
        offset = random.randrange(len(starts))
        for i in range(len(starts)):
            start = starts[(offset + i) % len(starts)]
            if not self._lock(start, count, fcntl.F_WRLCK):
                continue
            if all(_bindable(family, port) for port in range(start, start + count)
                   for family in (socket.AF_INET, socket.AF_INET6)):
                self.first = start
                return
            self._lock(start, count, fcntl.F_UNLCK)
        os.close(self.fd)
        raise RuntimeError("no free ports outside the ephemeral range")

    def _lock(self, start, count, kind):
        try:
            fcntl.fcntl(self.fd, fcntl.F_OFD_SETLK, struct.pack("hhqqixxxx", kind, os.SEEK_SET, start, count, 0))
            return True
        except OSError:
            return False

    def close(self):
        os.close(self.fd)


_kept_ports = []


def free_port():
    """A reserved port, kept for the rest of this process."""
    ports = ReservedPorts(1)
    _kept_ports.append(ports)
    return ports.first


class Reply:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers  # list of (name, value) in the order sent
        self.body = body

    def json(self):
        return json.loads(self.body)

    def header_names(self):
        return [k for k, _ in self.headers]


class RPCFailure(Exception):
    def __init__(self, code, message):
        super().__init__(f"{code}: {message}")
        self.code = code
        self.message = message


class TestNode:
    def __init__(self, datadir, extra=(), port=None, control=True, env=None):
        self.datadir = datadir
        self.port = port or free_port()
        self.control_path = os.path.join(datadir, "ctl.sock") if control else None
        self.extra = list(extra)
        self.env = env
        self.proc = None
        self.log_path = os.path.join(datadir, "node.log")

    NETWORK_FLAGS = {"-testnet4=1": "testnet4", "-signet=1": "signet"}

    @property
    def chain(self):
        return next((name for flag, name in self.NETWORK_FLAGS.items() if flag in self.extra), "regtest")

    @property
    def cookie_path(self):
        return os.path.join(self.datadir, self.chain, ".cookie")

    def args(self):
        a = [NODE, f"-datadir={self.datadir}", "-disablewallet=1", "-server=1", "-rpcbind=127.0.0.1",
             "-rpcallowip=127.0.0.1", f"-rpcport={self.port}", f"-port={free_port()}", f"-{self.chain}=1",
             # The tests that need a listening node say so.
             "-listen=0"]
        if self.control_path:
            a.append(f"-test-control={self.control_path}")
        return a + [x for x in self.extra if x not in self.NETWORK_FLAGS]

    def start(self, wait=True):
        # A cookie left by a killed node must not be taken for the new one's (the product removes it too).
        if os.path.exists(self.cookie_path):
            os.unlink(self.cookie_path)
        self.log = open(self.log_path, "ab")
        env = dict(os.environ, **self.env) if self.env else None
        self.proc = subprocess.Popen(self.args(), stdout=self.log, stderr=subprocess.STDOUT, env=env)
        if wait:
            self.wait_ready()
        return self

    def wait_ready(self, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise AssertionError(f"node exited with {self.proc.returncode}: {self.output()}")
            control_up = not self.control_path or os.path.exists(self.control_path)
            if os.path.exists(self.cookie_path) and control_up:
                try:
                    self.rpc("getblockcount")
                    return
                except RPCFailure as e:
                    if e.code != -28:
                        raise
                except OSError:
                    pass
            time.sleep(0.02)
        raise AssertionError("node did not come up")

    def output(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def cookie(self):
        with open(self.cookie_path, encoding="utf-8") as f:
            return f.read()

    def auth_header(self, cookie=None):
        return "Basic " + base64.b64encode((cookie or self.cookie()).encode()).decode()

    def request(self, body, method="POST", headers=None, timeout=10, auth=True, conn=None):
        own = conn is None
        conn = conn or http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        h = {"Content-Type": "application/json"}
        if auth:
            h["Authorization"] = self.auth_header() if auth is True else auth
        h.update(headers or {})
        if not isinstance(body, (bytes, str)):
            body = json.dumps(body)
        try:
            conn.request(method, "/", body=body, headers=h)
            resp = conn.getresponse()
            data = resp.read()
            return Reply(resp.status, resp.getheaders(), data)
        finally:
            if own:
                conn.close()

    def call(self, method, *params, timeout=10, rid="t"):
        return self.request({"jsonrpc": "1.0", "id": rid, "method": method, "params": list(params)}, timeout=timeout)

    def rpc(self, method, *params, timeout=10):
        reply = self.call(method, *params, timeout=timeout)
        doc = reply.json()
        if doc.get("error"):
            raise RPCFailure(doc["error"]["code"], doc["error"]["message"])
        return doc["result"]

    def control(self, **cmd):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(10)
            s.connect(self.control_path)
            s.sendall((json.dumps(cmd) + "\n").encode())
            data = b""
            while not data.endswith(b"\n"):
                chunk = s.recv(4096)
                if not chunk:
                    break
                data += chunk
        return json.loads(data) if data else None

    def wait_exit(self, timeout=10):
        return self.proc.wait(timeout)

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.proc:
            self.log.close()


class NodeTestCase(unittest.TestCase):
    """Each test gets its own data directory; every node started is killed at the end."""

    node_args = ()

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="ctn-", dir="/tmp")
        self.nodes = []

    def tearDown(self):
        for n in self.nodes:
            n.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start_node(self, extra=(), wait=True, datadir=None, port=None, control=True, env=None):
        node = TestNode(datadir or self.tmp, list(self.node_args) + list(extra), port=port, control=control,
                        env=env)
        self.nodes.append(node)
        return node.start(wait=wait)
