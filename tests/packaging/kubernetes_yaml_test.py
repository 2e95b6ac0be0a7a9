#!/usr/bin/env python3
"""The Kubernetes example in docs/ parses, and its Job can finish: a failure
budget per index, pods that are not restarted in place, and one N for the
shard count, the completions and the parallelism. Its pods run as a user
that owns what it writes, and the shared claim says which storage class it
needs."""
import re
import sys

import yaml


def main(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    documents = [d for d in yaml.safe_load_all(text) if d]
    jobs = [d for d in documents if d.get("kind") == "Job"]
    claims = [d for d in documents if d.get("kind") == "PersistentVolumeClaim"]
    problems = []

    def check(ok, text):
        if not ok:
            problems.append(text)

    check(len(jobs) == 1, "one Job")
    check(len(claims) == 1 and "ReadWriteMany" in claims[0]["spec"]["accessModes"],
          "a ReadWriteMany volume claim")
    if len(jobs) != 1:
        return problems
    job = jobs[0]["spec"]
    pod = job["template"]["spec"]
    check(job.get("completionMode") == "Indexed", "completionMode: Indexed")
    n = job.get("completions")
    check(isinstance(n, int) and n >= 1, "completions is a number")
    check(job.get("parallelism") == n, "parallelism equals completions")
    check(pod.get("restartPolicy") == "Never", "restartPolicy: Never")

    per_index = isinstance(job.get("backoffLimitPerIndex"), int)
    fails_index_on_1 = any(
        rule.get("action") == "FailIndex"
        and rule.get("onExitCodes", {}).get("operator") == "In"
        and 1 in rule.get("onExitCodes", {}).get("values", [])
        for rule in job.get("podFailurePolicy", {}).get("rules", []))
    check(per_index or fails_index_on_1,
          "a per-index budget (backoffLimitPerIndex) or a podFailurePolicy failing the index on exit 1")
    check("backoffLimit" not in job, "no Job-wide backoffLimit that stops every shard")
    for rule in job.get("podFailurePolicy", {}).get("rules", []):
        for condition in rule.get("onPodConditions", []):
            check(condition.get("status") in ("True", "False", "Unknown"),
                  f"the pod condition {condition.get('type')} names its status")
    security = pod.get("securityContext", {})
    check(security.get("runAsNonRoot") is True and security.get("runAsUser", 0) != 0, "a user other than root")
    check(security.get("fsGroup") is not None, "fsGroup, so that the user may write to the volume")
    check(security.get("seccompProfile", {}).get("type") == "RuntimeDefault", "seccompProfile RuntimeDefault")
    if claims:
        check("storageClassName" in claims[0]["spec"] or re.search(r"#.*storageClassName", text) is not None,
              "the ReadWriteMany claim names its storage class, or notes which one it needs")

    containers = pod["containers"]
    check(len(containers) == 1, "one container")
    command = " ".join(containers[0].get("command", []) + containers[0].get("args", []))
    shard = re.search(r"--shard\s+\$\(\(JOB_COMPLETION_INDEX \+ 1\)\)/(\d+)", command)
    check(shard is not None, "--shard $((JOB_COMPLETION_INDEX + 1))/N in the command")
    if shard:
        check(int(shard.group(1)) == n, f"--shard's N ({shard.group(1)}) equals completions ({n})")
    check("--skip-existing" in command, "--skip-existing, so a retried shard draws only the rest")
    claim = claims[0]["metadata"]["name"] if claims else None
    check(any(v.get("persistentVolumeClaim", {}).get("claimName") == claim for v in pod.get("volumes", [])),
          "the pods mount the claim")
    check(containers[0].get("resources", {}).get("limits", {}).get("memory"), "a memory limit")
    return problems


if __name__ == "__main__":
    found = main(sys.argv[1])
    for problem in found:
        print(f"{sys.argv[1]}: missing: {problem}")
    sys.exit(1 if found else 0)
