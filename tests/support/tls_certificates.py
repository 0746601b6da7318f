#!/usr/bin/env python3
"""Server certificates from an authority of our own, made with the openssl command: for the TLS
tests and for the demo shop, whose Wine prefix trusts the authority while they run.

Everything is made afresh when it is needed, valid from the moment it is made for 30 days, so no
test depends on the date (the expired certificate ended in January 2020). Each certificate names
its hosts as DNS names (Wine compares no IP address of a certificate, so 127.0.0.1 goes as a DNS
name too) and the address of the authority's revocation list, which the caller serves: a client
that checks revocation fetches it.

As a program, `tls_certificates.py FOLDER CRL_URL` makes the set of the Windows tests in FOLDER:
  authority.der   the authority's certificate (what the test trusts)
  authority.crl   its revocation list (empty, DER), to be served at CRL_URL
  trusted.pem     for 127.0.0.1 and localhost
  expired.pem     the same hosts, valid only in January 2020
  wrong-name.pem  for wrong-name.invalid
  untrusted.pem   127.0.0.1 and localhost, signed by itself
  server.key      the key of all four
and then "ready". The authority's key is deleted before: nothing more can be issued in its name.
"""
import os
import re
import secrets
import subprocess
import sys
import threading

VALID_DAYS = 30
CONFIG = """[ca]
default_ca = authority
[authority]
database = index.txt
new_certs_dir = issued
serial = serial
crlnumber = crlnumber
default_md = sha256
default_days = %d
default_crl_days = %d
policy = anything
unique_subject = no
copy_extensions = none
[anything]
commonName = supplied
""" % (VALID_DAYS, VALID_DAYS)
# A host name as a certificate may carry it: letters, digits, dots and hyphens.
HOST_NAME = re.compile(r"\A[a-z0-9]([a-z0-9.-]{0,251}[a-z0-9])?\Z")


def openssl(folder, *args):
    subprocess.run(["openssl"] + list(args), cwd=folder, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def write_text(path, text):
    with open(path, "w") as f:
        f.write(text)


class Authority:
    """A new authority in `folder`, and the certificates it issues, all with one server key."""

    def __init__(self, folder, name, crl_url):
        self.folder = folder
        self.crl_url = crl_url
        self.lock = threading.Lock()  # openssl's authority keeps its files as it issues
        os.makedirs(os.path.join(folder, "issued"), exist_ok=True)
        write_text(os.path.join(folder, "ca.cnf"), CONFIG)
        write_text(os.path.join(folder, "index.txt"), "")
        # Serial numbers of their own: Wine keeps a certificate's revocation status by its serial.
        write_text(os.path.join(folder, "serial"), secrets.token_hex(8).upper() + "\n")
        write_text(os.path.join(folder, "crlnumber"), "1000\n")
        openssl(folder, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "authority.key",
                "-out", "authority.pem", "-days", str(VALID_DAYS), "-subj", "/CN=" + name,
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl(folder, "x509", "-in", "authority.pem", "-outform", "DER", "-out", "authority.der")
        openssl(folder, "ca", "-batch", "-config", "ca.cnf", "-keyfile", "authority.key", "-cert",
                "authority.pem", "-gencrl", "-out", "authority.crl.pem")
        openssl(folder, "crl", "-in", "authority.crl.pem", "-outform", "DER", "-out", "authority.crl")
        openssl(folder, "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", "server.key")
        self.key = os.path.join(folder, "server.key")

    def path(self, name):
        return os.path.join(self.folder, name)

    def issue(self, stem, hosts, dates=None):
        """`stem`.pem for the hosts, valid for VALID_DAYS from now or between `dates` (openssl's
        YYYYMMDDHHMMSSZ); its path."""
        with self.lock:
            write_text(self.path(stem + ".ext"), extensions(hosts, self.crl_url))
            openssl(self.folder, "req", "-new", "-key", "server.key", "-subj", "/CN=" + hosts[0], "-out", stem + ".csr")
            when = ["-startdate", dates[0], "-enddate", dates[1]] if dates else []
            openssl(self.folder, "ca", "-batch", "-notext", "-config", "ca.cnf", "-keyfile", "authority.key",
                    "-cert", "authority.pem", "-in", stem + ".csr", "-out", stem + ".pem",
                    "-extfile", stem + ".ext", *when)
        return self.path(stem + ".pem")

    def issue_for_host(self, host):
        """A certificate for a host name a client asked for (None for anything else)."""
        host = (host or "").lower().rstrip(".")
        if not HOST_NAME.match(host):
            return None
        return self.issue("host-" + host, [host])

    def self_signed(self, stem, hosts):
        """`stem`.pem for the hosts, signed by its own key: no authority vouches for it."""
        openssl(self.folder, "req", "-x509", "-new", "-key", "server.key", "-subj", "/CN=" + hosts[0],
                "-days", str(VALID_DAYS), "-addext", "subjectAltName=" + ",".join("DNS:" + h for h in hosts),
                "-out", stem + ".pem")
        return self.path(stem + ".pem")

    def retire_key(self):
        os.remove(self.path("authority.key"))


def extensions(hosts, crl_url):
    return "\n".join([
        "basicConstraints = CA:FALSE",
        "keyUsage = critical, digitalSignature, keyEncipherment",
        "extendedKeyUsage = serverAuth",
        "subjectAltName = " + ", ".join("DNS:" + h for h in hosts),
        "crlDistributionPoints = URI:" + crl_url,
    ]) + "\n"


def make_test_set(folder, crl_url):
    authority = Authority(folder, "PictureTool test authority %d" % os.getpid(), crl_url)
    loopback = ["127.0.0.1", "localhost"]
    authority.issue("trusted", loopback)
    authority.issue("expired", loopback, ("20200101000000Z", "20200131000000Z"))
    authority.issue("wrong-name", ["wrong-name.invalid"])
    authority.self_signed("untrusted", loopback)
    authority.retire_key()
    with open(os.path.join(folder, "ready.tmp"), "w") as f:
        f.write("ready\n")
    os.replace(os.path.join(folder, "ready.tmp"), os.path.join(folder, "ready"))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: tls_certificates.py FOLDER CRL_URL")
    make_test_set(sys.argv[1], sys.argv[2])
