#!/usr/bin/env python3
"""The render service's cluster recipe in docs/ holds together: the YAML
parses into a Deployment, a Service and a HorizontalPodAutoscaler that point
at each other, the pods probe /healthz with the token, read the token from a
Secret mounted where --token-file looks, bind every address and run without
root; the Containerfile installs the Debian package and runs serve as a user."""
import re
import shlex
import sys

import yaml


def check_yaml(path, problems):
    with open(path, encoding="utf-8") as f:
        documents = [d for d in yaml.safe_load_all(f) if d]
    by_kind = {}
    for d in documents:
        by_kind.setdefault(d.get("kind"), []).append(d)

    def check(ok, text):
        if not ok:
            problems.append(f"{path}: {text}")

    for kind in ("Deployment", "Service", "HorizontalPodAutoscaler", "Secret"):
        check(len(by_kind.get(kind, [])) == 1, f"one {kind}")
    if problems:
        return
    deployment, service, hpa, secret = (by_kind[k][0] for k in ("Deployment", "Service", "HorizontalPodAutoscaler", "Secret"))
    name = deployment["metadata"]["name"]
    labels = deployment["spec"]["template"]["metadata"]["labels"]
    check(deployment["spec"]["selector"]["matchLabels"].items() <= labels.items(), "the Deployment selects its pods")
    pod = deployment["spec"]["template"]["spec"]
    check(pod.get("securityContext", {}).get("runAsNonRoot") is True, "runAsNonRoot")
    check(pod.get("securityContext", {}).get("runAsUser", 0) != 0, "a user other than root")
    containers = pod["containers"]
    check(len(containers) == 1, "one container")
    c = containers[0]
    command = c.get("command", []) + c.get("args", [])
    check(command[:2] == ["cubiform", "serve"], "runs cubiform serve")

    def option(name):
        return command[command.index(name) + 1] if name in command[:-1] else None

    check(option("--bind") == "0.0.0.0", "--bind 0.0.0.0")
    token = option("--token-file")
    check(token is not None, "--token-file")
    port = int(option("--port") or 8080)
    check(any(p.get("containerPort") == port for p in c.get("ports", [])), "the container port is serve's --port")

    # The token file comes from the Secret, mounted read-only.
    volumes = {v["name"]: v for v in pod.get("volumes", [])}
    mounted = False
    for m in c.get("volumeMounts", []):
        volume = volumes.get(m["name"], {})
        if token and token.startswith(m["mountPath"].rstrip("/") + "/") and "secret" in volume:
            mounted = volume["secret"]["secretName"] == secret["metadata"]["name"] and m.get("readOnly") is True
            key = token[len(m["mountPath"].rstrip("/")) + 1:]
            check(key in secret.get("stringData", {}) or key in secret.get("data", {}), f"the Secret has the key {key}")
    check(mounted, "the token file is a read-only mount of the Secret")

    for probe_name in ("readinessProbe", "livenessProbe"):
        probe = c.get(probe_name)
        check(probe is not None, probe_name)
        if not probe:
            continue
        if "httpGet" in probe:
            check(probe["httpGet"].get("path") == "/healthz", f"{probe_name} on /healthz")
            headers = {h["name"]: h["value"] for h in probe["httpGet"].get("httpHeaders", [])}
            check("Authorization" in headers, f"{probe_name} sends the token")
        else:
            text = " ".join(probe.get("exec", {}).get("command", []))
            check(re.search(rf"http://127\.0\.0\.1:{port}/healthz\b", text) is not None, f"{probe_name} on /healthz at port {port}")
            check(token is not None and f"Authorization: Bearer $(cat {token})" in text, f"{probe_name} sends the token from its file")
    readiness = " ".join(c.get("readinessProbe", {}).get("exec", {}).get("command", []))
    check("curl -f" in readiness, "readiness fails on a 503 (not ready, or stopping)")
    check(c.get("resources", {}).get("limits", {}).get("memory"), "a memory limit")
    check(c.get("resources", {}).get("requests", {}).get("cpu"), "a CPU request (the autoscaler's measure)")

    ports = service["spec"]["ports"]
    check(service["spec"]["selector"].items() <= labels.items(), "the Service selects the pods")
    check(all(p.get("targetPort") in (port, "http") for p in ports), "the Service reaches serve's port")
    target = hpa["spec"]["scaleTargetRef"]
    check(target.get("kind") == "Deployment" and target.get("name") == name, "the autoscaler scales the Deployment")
    check(1 <= hpa["spec"].get("minReplicas", 1) <= hpa["spec"]["maxReplicas"], "min replicas at most max")


def check_containerfile(path, problems):
    with open(path, encoding="utf-8") as f:
        lines = [l.strip() for l in f.read().replace("\\\n", " ").splitlines() if l.strip() and not l.startswith("#")]

    def check(ok, text):
        if not ok:
            problems.append(f"{path}: {text}")

    check(lines and re.match(r"FROM debian:", lines[0]) is not None, "a Debian base")
    check(any(l.startswith("RUN") and re.search(r"apt-get install .*cubiform_[\w.~+-]+\.deb", l) for l in lines),
          "the program from its Debian package")
    users = [l.split()[1] for l in lines if l.startswith("USER")]
    check(users and users[-1].split(":")[0] not in ("0", "root"), "runs as a user other than root")
    entry = [l for l in lines if l.startswith(("ENTRYPOINT", "CMD"))]
    check(entry, "an entry point")
    if entry:
        words = yaml.safe_load(entry[-1].split(None, 1)[1])
        words = words if isinstance(words, list) else shlex.split(words)
        check(words[:2] == ["cubiform", "serve"], "runs cubiform serve")
        check("--bind" in words and words[words.index("--bind") + 1] == "0.0.0.0", "--bind 0.0.0.0")
        check("--token-file" in words, "--token-file")


if __name__ == "__main__":
    found = []
    check_yaml(sys.argv[1], found)
    check_containerfile(sys.argv[2], found)
    for problem in found:
        print(f"missing: {problem}")
    sys.exit(1 if found else 0)
