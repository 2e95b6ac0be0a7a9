#!/usr/bin/env python3
"""The render service's cluster recipe in docs/ holds together: the YAML
parses into a Deployment, a Service and a HorizontalPodAutoscaler that point
at each other, the pods probe /healthz with the token, read the token from a
Secret mounted where --token-file looks, bind every address and run without
root; the Containerfile installs the Debian package and runs serve as a user.
It is one an operator would apply: the restricted Pod Security Standard's
seccomp profile, a preStop delay and a grace that covers --timeout, no
token written in it (the kubectl command that makes the Secret instead),
probes that fail on an error status, --max-memory within the memory limit,
an emptyDir that holds the cover store and Mesa's shader cache, fsGroup."""
import re
import shlex
import sys

import yaml


# Kubernetes quantities ("2Gi", "512Mi", "128M") and serve's sizes ("1800MB",
# powers of 1024), in bytes.
def quantity(text):
    m = re.fullmatch(r"(\d+(?:\.\d+)?)\s*([KMGT]i?)?", str(text))
    if not m:
        return None
    powers = {None: 1, "K": 1e3, "M": 1e6, "G": 1e9, "T": 1e12, "Ki": 2**10, "Mi": 2**20, "Gi": 2**30, "Ti": 2**40}
    return float(m.group(1)) * powers[m.group(2)]


def serve_size(text):
    m = re.fullmatch(r"(\d+(?:\.\d+)?)\s*(B|KB|KiB|K|MB|MiB|M|GB|GiB|G)?", text or "", re.IGNORECASE)
    if not m:
        return None
    unit = (m.group(2) or "B").upper().replace("IB", "B")
    return float(m.group(1)) * {"B": 1, "K": 2**10, "KB": 2**10, "M": 2**20, "MB": 2**20, "G": 2**30, "GB": 2**30}[unit]


# What the cover store keeps at most (src/serve/CoverStore.h).
COVER_STORE = 256 * 2**20


def check_yaml(path, problems):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    documents = [d for d in yaml.safe_load_all(text) if d]
    by_kind = {}
    for d in documents:
        by_kind.setdefault(d.get("kind"), []).append(d)

    def check(ok, text):
        if not ok:
            problems.append(f"{path}: {text}")

    for kind in ("Deployment", "Service", "HorizontalPodAutoscaler"):
        check(len(by_kind.get(kind, [])) == 1, f"one {kind}")
    check("Secret" not in by_kind, "no Secret with a token written in the file (the user makes it)")
    if problems:
        return
    deployment, service, hpa = (by_kind[k][0] for k in ("Deployment", "Service", "HorizontalPodAutoscaler"))
    name = deployment["metadata"]["name"]
    labels = deployment["spec"]["template"]["metadata"]["labels"]
    check(deployment["spec"]["selector"]["matchLabels"].items() <= labels.items(), "the Deployment selects its pods")
    pod = deployment["spec"]["template"]["spec"]
    check(pod.get("securityContext", {}).get("runAsNonRoot") is True, "runAsNonRoot")
    check(pod.get("securityContext", {}).get("runAsUser", 0) != 0, "a user other than root")
    check(pod.get("securityContext", {}).get("fsGroup") is not None, "fsGroup for the user's files")
    check(pod.get("securityContext", {}).get("seccompProfile", {}).get("type") == "RuntimeDefault",
          "seccompProfile RuntimeDefault")
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

    # The token file comes from the Secret the file tells how to make,
    # mounted read-only.
    volumes = {v["name"]: v for v in pod.get("volumes", [])}
    mounted = False
    for m in c.get("volumeMounts", []):
        volume = volumes.get(m["name"], {})
        if token and token.startswith(m["mountPath"].rstrip("/") + "/") and "secret" in volume:
            mounted = m.get("readOnly") is True
            key = token[len(m["mountPath"].rstrip("/")) + 1:]
            made = rf"#\s*kubectl create secret generic {re.escape(volume['secret']['secretName'])} --from-\S+={key}\b"
            check(re.search(made, text) is not None, f"the kubectl command that makes the Secret with the key {key}")
    check(mounted, "the token file is a read-only mount of the Secret")

    # Stopping: the Service lets go of the pod during preStop, then SIGTERM
    # drains requests of up to --timeout.
    pre_stop = c.get("lifecycle", {}).get("preStop", {})
    delay = pre_stop.get("sleep", {}).get("seconds")
    if delay is None:
        words = pre_stop.get("exec", {}).get("command", [])
        delay = int(words[1]) if words[:1] == ["sleep"] and len(words) == 2 else None
    check(delay is not None and delay >= 5, "a preStop delay of a few seconds")
    timeout = int(option("--timeout") or 30)
    check(pod.get("terminationGracePeriodSeconds", 30) >= (delay or 0) + timeout,
          f"terminationGracePeriodSeconds covers preStop and --timeout {timeout}")

    # Memory: the service keeps within --max-memory, which must sit within the limit.
    limit = quantity(c.get("resources", {}).get("limits", {}).get("memory"))
    max_memory = serve_size(option("--max-memory"))
    check(limit is not None and (max_memory is None or 0.5 * limit <= max_memory <= 0.95 * limit),
          "--max-memory (or its default from the cgroup) within the memory limit")
    env = {e["name"]: e.get("value") for e in c.get("env", [])}
    shader_cache = quantity(env.get("MESA_SHADER_CACHE_MAX_SIZE", "1G"))
    tmp = [volumes.get(m["name"], {}) for m in c.get("volumeMounts", []) if m["mountPath"] == env.get("HOME", "/tmp")]
    room = quantity(tmp[0].get("emptyDir", {}).get("sizeLimit", "0")) if tmp and "emptyDir" in tmp[0] else None
    check(room is not None and room >= COVER_STORE + shader_cache,
          "an emptyDir at HOME large enough for the cover store and the shader cache")

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
    for probe_name in ("startupProbe", "readinessProbe", "livenessProbe"):
        words = " ".join(c.get(probe_name, {}).get("exec", {}).get("command", []))
        check("httpGet" in c.get(probe_name, {}) or "curl -f" in words, f"{probe_name} fails on an error status (curl -f)")
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
