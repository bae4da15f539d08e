"""suite(), corpus() and score() write the files and report the figures the varnel tool does."""

import json
import subprocess
import sys

import pytest

import varnel

# A receiver that reads the labels beside the file: the keys sent, and "NUMBER n" for a message,
# except files 15 to 19 of a level family, which it misses.
LABEL_RECEIVER = [sys.executable, "-c", """
import json, re, sys
lines = [json.loads(line) for line in open(sys.argv[1][:-4] + ".jsonl")]
if re.search(r"level-001[5-9]", sys.argv[1]): sys.exit(1)
print("".join(l["text"] for l in lines if l["symbol"] == "key"))
for l in lines:
    if l["symbol"] == "message": print("NUMBER", l["fields"]["number"])
""", "{}"]

RECIPE = {"clips": 9, "seed": 4, "key_count": [1, 4], "snr_db": [5, 30], "encoding": "alaw"}

WRITES = [
    # what Python writes, and the tool's arguments for the same folder
    (lambda d: varnel.suite("cid-bell", d, seed=3, families=["twist", "level"]),
     ["suite", "cid-bell", "--seed", "3", "--family", "twist,level"]),
    (lambda d: varnel.suite("dtmf", d, encoding="ulaw", shard=(2, 5), families=["noise", "dial-tone", "no-keys"]),
     ["suite", "dtmf", "-e", "ulaw", "--shard", "2/5", "--family", "noise,dial-tone,no-keys"]),
    (lambda d: varnel.suite("cid-etsi", d, seed=8, encoding="alaw", families=["alert-level", "snr"]),
     ["suite", "cid-etsi", "--seed", "8", "-e", "alaw", "--family", "alert-level,snr"]),
    (lambda d: varnel.suite("dtmf", d, repeat=3, families=["level"], shard=(1, 9)),
     ["suite", "dtmf", "--repeat", "3", "--family", "level", "--shard", "1/9"]),
    (lambda d: varnel.corpus(RECIPE, d, shard=(1, 2)), ["corpus", "{recipe}", "--shard", "1/2"]),
]


def files_of(folder):
    return {path.name: path.read_bytes() for path in sorted(folder.iterdir())}


@pytest.mark.parametrize("write,args", WRITES)
def test_folders_are_the_tools_bytes(tool, tmp_path, write, args):
    recipe = tmp_path / "recipe.json"
    recipe.write_text(json.dumps(RECIPE))
    written = write(tmp_path / "ours")
    tool(*[str(recipe) if arg == "{recipe}" else arg for arg in args], "-o", str(tmp_path / "theirs"))
    ours = files_of(tmp_path / "ours")
    assert ours == files_of(tmp_path / "theirs")
    assert written == (len(ours) - 1) // 2 > 0


SCORES = [
    # suite, its families, score()'s keyword arguments and the tool's options
    ("cid-bell", "level,twist", {"pattern": r"NUMBER (\d+)"}, ["--pattern", r"NUMBER (\d+)"]),
    ("cid-bell", "level", {"pattern": r"NUMBER (?P<number>\d+)"}, ["--pattern", r"NUMBER (?P<number>\d+)"]),
    ("dtmf", "decode,level,no-keys", {"families": ["level", "no-keys"], "jobs": 3, "key_map": "A=1"},
     ["--family", "level,no-keys", "-j", "3", "--key-map", "A=1"]),
]


@pytest.mark.parametrize("name,families,kwargs,options", SCORES)
def test_score_is_the_tools_json_report(tool, tmp_path, name, families, kwargs, options):
    folder = str(tmp_path / name)
    tool("suite", name, "--family", families, "-o", folder)
    report = varnel.score(folder, LABEL_RECEIVER, timeout=30, **kwargs)
    assert report == json.loads(tool("score", folder, "--json", *options, "--", *LABEL_RECEIVER, status=1))
    assert report["failed"] > 0 and report["figures"]
    assert {f["failure"] for f in report["receiver_failures"]} == {"exit status 1"}


def test_refusals(tmp_path):
    with pytest.raises(varnel.ArgumentError, match="no family 'tone'"):
        varnel.suite("dtmf", tmp_path, families=["tone"])
    with pytest.raises(varnel.ArgumentError, match="1 <= I <= N"):
        varnel.corpus(RECIPE, tmp_path, shard=(3, 2))
    with pytest.raises(OSError, match="manifest.csv"):
        varnel.score(tmp_path, ["true"])
    with pytest.raises(varnel.ArgumentError, match="timeout"):
        varnel.score(tmp_path, ["true"], timeout=0)
    with pytest.raises(varnel.ArgumentError, match="jobs"):
        varnel.score(tmp_path, ["true"], jobs=0)
    with pytest.raises(varnel.ArgumentError, match="'A' is not FROM=TO"):
        varnel.score(tmp_path, ["true"], key_map="A")


@pytest.mark.parametrize("receiver,timeout,failure", [
    (["/no/such"], None, "cannot run '/no/such': No such file or directory"),
    ([sys.executable, "-c", "import time; time.sleep(5)"], 0.2, "timed out after 0.2 s"),
])
def test_receiver_failures_are_in_the_report(tmp_path, receiver, timeout, failure):
    varnel.suite("cid-bell", tmp_path, families=["twist"], shard=(1, 7))
    report = varnel.score(tmp_path, receiver, timeout=timeout)
    assert [f["failure"] for f in report["receiver_failures"]] == [failure, failure]
