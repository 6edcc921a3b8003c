#!/usr/bin/env python3
"""The Python and Java bindings of libvelixverify against the C library's own
loop, on the same 256 signed 1 KiB documents (1024-bit key), in one run;
wall time, documents per second. Goal for each: at least 0.7 times the C
loop's throughput.

    bench/verify_bindings.py BUILD_DIR

needs BUILD_DIR/bin/bench_verify_loop and the library; the Java side also the
jars of BUILD_DIR (targets velixverify_jar, bench_verify_java) and Debian's
JNA, and is skipped without them."""

from __future__ import annotations

import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROUNDS = 9
PASSES = 4  # over the documents in one timed round, as bench_verify_loop and VerifyLoop make


def c_rates(loop: Path, documents: Path, rounds: int) -> list[float]:
    out = subprocess.run([str(loop), "run", str(documents), str(rounds)], check=True, capture_output=True,
                         text=True, timeout=300).stdout
    return [float(line) for line in out.split()]


def python_rate(cards, documents: list[bytes], verify_document) -> float:
    start = time.perf_counter()
    for _ in range(PASSES):
        for document in documents:
            verify_document(cards, document)
    return PASSES * len(documents) / (time.perf_counter() - start)


def show(what: str, samples: list[float], fmt: str = "{:.0f}") -> None:
    print(f"  {what:<44}" + " / ".join(fmt.format(v) for v in (min(samples), statistics.median(samples),
                                                               max(samples))))


def main() -> int:
    build = Path(sys.argv[1]).resolve()
    library = build / "lib" / "libvelixverify.so.1"
    os.environ["VELIXVERIFY_LIBRARY"] = str(library)
    sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "verify" / "python"))
    from velixverify import Cards, verify_document

    loop = build / "bin" / "bench_verify_loop"
    with tempfile.TemporaryDirectory(prefix="bench_verify_bindings.") as folder:
        documents_dir = Path(folder)
        subprocess.run([str(loop), "write", folder], check=True, timeout=300)
        documents = [p.read_bytes() for p in sorted(documents_dir.glob("doc*.txt"))]
        cards = Cards.load((documents_dir / "cards.key").read_bytes())

        # Python: each round is paired with a C round taken just before it.
        c_python, python, python_ratio = [], [], []
        for _ in range(2):
            python_rate(cards, documents, verify_document)  # warm up
        for _ in range(ROUNDS):
            c_python.append(statistics.median(c_rates(loop, documents_dir, 3)))
            python.append(python_rate(cards, documents, verify_document))
            python_ratio.append(python[-1] / c_python[-1])
        print(f"libvelixverify bindings, {len(documents)} documents of 1 KiB, 1024-bit key "
              f"({ROUNDS} rounds; min / median / max)")
        show("C loop (doc/s):", c_python)
        show("Python verify_document (doc/s):", python)
        show("ratio Python / C (goal >= 0.70):", python_ratio, "{:.3f}")

        jars = [build / "verify" / "java" / "velixverify.jar", build / "bench" / "bench_verify_java.jar",
                Path("/usr/share/java/jna.jar")]
        if not all(jar.exists() for jar in jars):
            print("  (Java: jars not built, skipped)")
            return 0
        # Java: each round one JVM (warmed up inside), paired with a C round.
        java_command = ["java", "-cp", ":".join(map(str, jars)), "VerifyLoop", folder, "3"]
        c_java, java, java_ratio = [], [], []
        for _ in range(ROUNDS):
            c_java.append(statistics.median(c_rates(loop, documents_dir, 3)))
            out = subprocess.run(java_command, check=True, capture_output=True, text=True, timeout=300).stdout
            java.append(statistics.median(float(line) for line in out.split()))
            java_ratio.append(java[-1] / c_java[-1])
        show("C loop (doc/s):", c_java)
        show("Java Verifier.verifyDocument (doc/s):", java)
        show("ratio Java / C (goal >= 0.70):", java_ratio, "{:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
