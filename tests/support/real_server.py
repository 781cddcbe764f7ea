#!/usr/bin/env python3
"""Starts a real server (Icecast or nginx) on loopback for the tests.

    real_server.py KIND [--under FOLDER] TEMPLATE [--cert CERT --key KEY] [NAME=VALUE]...

KIND is "icecast" or "nginx". Two free loopback ports are chosen (PORT and
TLS_PORT); @PORT@, @TLS_PORT@, @DIR@ (a fresh folder for configuration,
certificates, logs and temporary files), @CHANGEOWNER@ (Icecast refuses to
run as root, so it drops to nobody when started as root) and every @NAME@
given are filled into TEMPLATE. The server is started in the foreground and
must listen on both ports within 5 s; otherwise its log goes to standard
error and the status is 1. The fresh folder is made in FOLDER, or in /tmp
when the server drops to nobody: a user that may not enter the temporary
folder of the tests (or any folder above a clone under /root).

When it listens, "PORT TLS_PORT PID" is printed on one line, PID being this
keeper's. The keeper then stops the server by its PID when it is sent
SIGTERM, when the process that started it goes away, or after 120 s, so no
server outlives its test.
"""
import glob
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

LIFETIME = 120


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


def logs(folder):
    text = ""
    for path in sorted(glob.glob(os.path.join(folder, "**", "*.log"), recursive=True)):
        with open(path, errors="replace") as f:
            text += "== %s\n%s" % (path, f.read())
    return text


def main():
    args = sys.argv[1:]
    if len(args) < 2 or args[0] not in ("icecast", "nginx"):
        raise SystemExit(__doc__)
    kind, rest = args[0], args[1:]
    under = None
    if rest[0] == "--under":
        under, rest = rest[1], rest[2:]
    template, rest = rest[0], rest[1:]
    values, cert, key = {}, None, None
    while rest:
        word = rest.pop(0)
        if word == "--cert":
            cert = rest.pop(0)
        elif word == "--key":
            key = rest.pop(0)
        else:
            name, _, value = word.partition("=")
            values[name] = value

    root = os.geteuid() == 0
    if under is None and root and kind == "icecast":
        under = "/tmp"
    folder = tempfile.mkdtemp(prefix="o2w-%s-" % kind, dir=under)
    os.chmod(folder, 0o755)
    os.mkdir(os.path.join(folder, "log"))
    os.chmod(os.path.join(folder, "log"), 0o777)
    if cert and key:
        shutil.copy(cert, os.path.join(folder, "server.pem"))
        shutil.copy(key, os.path.join(folder, "server.key"))
        with open(os.path.join(folder, "server-with-key.pem"), "w") as out:
            for part in (cert, key):
                with open(part) as f:
                    out.write(f.read())
        for name in ("server.pem", "server.key", "server-with-key.pem"):
            os.chmod(os.path.join(folder, name), 0o644)

    port, tls_port = free_port(), free_port()
    while tls_port == port:
        tls_port = free_port()
    values.update({
        "PORT": str(port),
        "TLS_PORT": str(tls_port),
        "DIR": folder,
        "CHANGEOWNER": ("<changeowner><user>nobody</user><group>nogroup</group></changeowner>"
                        if root else ""),
    })
    with open(template) as f:
        config = f.read()
    for name, value in values.items():
        config = config.replace("@%s@" % name, value)
    conf = os.path.join(folder, "icecast.xml" if kind == "icecast" else "nginx.conf")
    with open(conf, "w") as f:
        f.write(config)
    os.chmod(conf, 0o644)

    if kind == "icecast":
        command = ["icecast2", "-c", conf]
    else:
        command = ["nginx", "-p", folder, "-c", conf]
    server = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=open(os.path.join(folder, "log", "stderr.log"), "w"))

    def stop(*_):
        if server.poll() is None:
            server.terminate()
            try:
                server.wait(timeout=3)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait()
        shutil.rmtree(folder, ignore_errors=True)
        os._exit(0)

    deadline = time.monotonic() + 5
    while not (listening(port) and listening(tls_port)):
        if server.poll() is not None or time.monotonic() > deadline:
            sys.stderr.write("%s did not come up on ports %d and %d\n%s" %
                             (kind, port, tls_port, logs(folder)))
            if server.poll() is None:
                server.kill()
            shutil.rmtree(folder, ignore_errors=True)
            return 1
        time.sleep(0.05)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    parent = os.getppid()
    print(port, tls_port, os.getpid(), flush=True)
    end = time.monotonic() + LIFETIME
    while time.monotonic() < end and os.getppid() == parent and server.poll() is None:
        time.sleep(0.2)
    stop()


if __name__ == "__main__":
    sys.exit(main())
