#!/usr/bin/env python3
# `tandrel serve --mqtt` as a user runs it: the built tool, a simulated meter
# and Debian's Mosquitto broker, all on loopback with ephemeral ports:
#     serve_mqtt_test.py --tandrel PATH --sim PATH
# The topics and payloads are checked field by field in tests/site; here what
# must hold end to end: the state message carries the simulator's values, the
# status page shows them, and the broker says `offline` when the service dies.
import argparse
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import unittest

import serve_test
from serve_test import Serve, Sim, free_port, wait_for

PASSWORD = "s3cret-broker-word"


def make_certificates(folder, name):
    """A CA of its own and a broker certificate for 127.0.0.1 that it signed."""
    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True)
    ca, key = f"{folder}/{name}-ca.pem", f"{folder}/{name}-ca.key"
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
            f"/CN={name} test CA", "-keyout", key, "-out", ca)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
            "-keyout", f"{folder}/{name}-broker.key", "-out", f"{folder}/{name}-broker.csr")
    with open(f"{folder}/san.cnf", "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\n")
    openssl("x509", "-req", "-in", f"{folder}/{name}-broker.csr", "-CA", ca, "-CAkey", key,
            "-CAcreateserial", "-days", "2", "-extfile", f"{folder}/san.cnf",
            "-out", f"{folder}/{name}-broker.pem")
    return ca


class Broker:
    def __init__(self, test, tls=False):
        self.dir = tempfile.mkdtemp(prefix="mosquitto-")
        self.port = free_port()
        self.ca = make_certificates(self.dir, "broker") if tls else None
        with open(os.path.join(self.dir, "passwords"), "w") as f:
            f.write(f"meter-reader:{PASSWORD}\n")
        subprocess.run(["mosquitto_passwd", "-U", os.path.join(self.dir, "passwords")], check=True)
        conf = os.path.join(self.dir, "mosquitto.conf")
        with open(conf, "w") as f:
            f.write(f"listener {self.port} 127.0.0.1\nallow_anonymous false\n"
                    f"password_file {self.dir}/passwords\npersistence false\n"
                    f"log_dest file {self.dir}/broker.log\n"
                    # Started as root, the broker would drop to a user that
                    # cannot read this private folder.
                    "user root\n")
            if tls:
                f.write(f"cafile {self.ca}\ncertfile {self.dir}/broker-broker.pem\n"
                        f"keyfile {self.dir}/broker-broker.key\n")
        self.process = subprocess.Popen(["/usr/sbin/mosquitto", "-c", conf],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        test.addCleanup(self.stop)
        test.assertTrue(wait_for(self.accepts, 10), "the broker did not start")

    def accepts(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
            return True
        except OSError:
            return False

    # The retained or next message of `topic`, or None after `seconds`.
    def message(self, topic, seconds=15):
        run = subprocess.run(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(self.port),
                              "-u", "meter-reader", "-P", PASSWORD, "-t", topic, "-C", "1",
                              "-W", str(seconds), *(["--cafile", self.ca] if self.ca else [])],
                             capture_output=True, text=True)
        return run.stdout.strip() or None

    def stop(self):
        self.process.terminate()
        self.process.wait()


class MqttServeTest(unittest.TestCase):
    def setUp(self):
        os.environ["TANDREL_MQTT_USERNAME"] = "meter-reader"
        os.environ["TANDREL_MQTT_PASSWORD"] = PASSWORD

    def test_tls_with_the_brokers_ca_and_refused_with_another(self):
        broker = Broker(self, tls=True)
        sim = Sim("--deterministic")
        self.addCleanup(sim.stop)
        other_ca = make_certificates(tempfile.mkdtemp(prefix="other-ca-"), "other")
        refused = Serve(self, [f"127.0.0.1:{sim.port}"], "--live-every", "1", "--mqtt",
                        f"mqtts://127.0.0.1:{broker.port}", "--mqtt-ca", other_ca)
        self.assertTrue(wait_for(lambda: "TLS" in refused.text(), 15), refused.text())
        self.assertIsNone(broker.message("tandrel/status", 2))
        refused.stop()

        serve = Serve(self, [f"127.0.0.1:{sim.port}"], "--live-every", "1", "--mqtt",
                      f"mqtts://127.0.0.1:{broker.port}", "--mqtt-ca", broker.ca)
        self.assertEqual(broker.message("tandrel/status"), "online", serve.text())
        self.assertIsNotNone(broker.message("tandrel/+/state"))

    def test_state_page_and_last_will(self):
        broker = Broker(self)
        sim = Sim("--deterministic")
        self.addCleanup(sim.stop)
        serve = Serve(self, [f"127.0.0.1:{sim.port} name=Boiler room"], "--live-every", "1",
                      "--mqtt", f"mqtt://127.0.0.1:{broker.port}")

        self.assertEqual(broker.message("tandrel/status"), "online")
        state = json.loads(broker.message("tandrel/+/state"))
        live = json.loads(subprocess.run(
            [serve_test.ARGS.tandrel, "live", f"127.0.0.1:{sim.port}", "--json"],
            capture_output=True, text=True, check=True).stdout)
        served = {r["name"]: r["value"] for r in live["readings"]}
        # Every served value the state message carries is the simulator's.
        found = [v for v in state.values() if isinstance(v, (int, float))]
        self.assertIn(served["V1"], found)
        self.assertIn(served["kW L1"], found)

        page = serve.get("/")
        self.assertIn("<script", page)
        # The site file's name is the meter's name on every output.
        api = json.loads(serve.get("/api/state"))
        self.assertEqual([m["name"] for m in api["meters"]], ["Boiler room"])
        self.assertIn('meter="Boiler room"', serve.get("/metrics"))
        config = json.loads(broker.message("homeassistant/sensor/+/+/config"))
        self.assertEqual(config["device"]["name"], "Boiler room")

        serve.process.send_signal(signal.SIGKILL)
        serve.process.wait()
        self.assertEqual(wait_for(lambda: broker.message("tandrel/status", 3) == "offline", 30),
                         True)
        with open(os.path.join(broker.dir, "broker.log")) as f:
            logs = serve.text() + f.read()
        self.assertNotIn(PASSWORD, logs)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--tandrel", required=True)
    parser.add_argument("--sim", required=True)
    serve_test.ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest])
