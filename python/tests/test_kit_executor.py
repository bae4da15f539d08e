"""varnel.kit spreads suites, corpora and scores over executors: a dask LocalCluster and a thread
pool write the files one process writes, byte for byte, and score them to the same report."""

import os
from concurrent.futures import ThreadPoolExecutor

import pytest

import varnel
import varnel.kit


def files_of(folder):
    return {path.name: path.read_bytes() for path in sorted(folder.iterdir())}


@pytest.fixture(scope="module")
def dask_client():
    try:
        from distributed import Client, LocalCluster
    except ImportError:
        if os.environ.get("CI"):
            pytest.fail("dask.distributed (python3-distributed) is not installed in CI")
        pytest.skip("dask.distributed (python3-distributed) is not installed")
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, Client(cluster) as client:
        yield client


@pytest.fixture(params=["dask", "threads"])
def executor(request):
    if request.param == "threads":
        with ThreadPoolExecutor(3) as pool:
            yield pool
    else:
        yield request.getfixturevalue("dask_client")


def test_shards_on_an_executor_equal_one_process(tmp_path, executor):
    families = ["decode", "no-keys", "noise"]
    one = varnel.kit.suite("dtmf", tmp_path / "one", seed=5, families=families)
    spread = varnel.kit.suite("dtmf", tmp_path / "spread", seed=5, families=families, executor=executor, shards=7)
    assert one == spread > 0
    assert files_of(tmp_path / "one") == files_of(tmp_path / "spread")
    recipe = {"clips": 11, "seed": 2, "key_count": [1, 3], "snr_db": [10, 30]}
    assert varnel.kit.corpus(recipe, tmp_path / "c1") == varnel.kit.corpus(recipe, tmp_path / "c2", executor=executor, shards=4)
    assert files_of(tmp_path / "c1") == files_of(tmp_path / "c2")
    receiver = [os.environ["VARNEL_TOOL"], "detect", "{}"]
    report = varnel.score(tmp_path / "one", receiver)
    assert varnel.kit.score(tmp_path / "spread", receiver, executor=executor, shards=5) == report
    assert report["detect"]["met"] > 0
