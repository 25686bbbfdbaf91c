"""Run folders carry every file a run needs: a template of the additional data file, a restart file
that the run rewrites; a run started again starts from the study's own copies."""

from conftest import ROOT, mask, study

GOLDEN = ROOT / "tests" / "golden" / "cases"


def same_as_golden(run_dir, case):
    for expected in (GOLDEN / case / "expected").iterdir():
        if expected.name == "stdout":
            continue
        got = (run_dir / expected.name).read_bytes().decode("latin-1")
        assert mask(got) == mask(expected.read_bytes().decode("latin-1")), expected.name


def test_data_template_and_restart_file(tmp_path, gruv3d):
    seasonal = ROOT / "examples" / "seasonal_heat_exchanger"
    deck = tmp_path / "seasonal.gruv.tpl"
    deck.write_text("ptf ~\n" + (seasonal / "seasonal_heat_exchanger.gruv").read_text())
    data = tmp_path / "erdsonde.zus.tpl"
    zus = (seasonal / "erdsonde.zus").read_text()
    data.write_text("ptf ~\n" + zus.replace("     -30.0\n", "~   q    ~\n", 1))
    params = tmp_path / "q.csv"
    params.write_text("run,q\norig,-30.0\nmore,-60.0\n")
    s = tmp_path / "seasonal"
    p = study("init", s, "--template", deck, "--data", data, "--params", params)
    assert p.returncode == 0, p.stderr
    p = study("run", s, "--gruv3d", gruv3d)
    assert p.returncode == 0, p.stderr
    assert (s / "runs" / "more" / "erdsonde.zus").read_text() == zus.replace("     -30.0\n", "-60.000000\n", 1)
    same_as_golden(s / "runs" / "orig", "seasonal_heat_exchanger")
    assert (s / "runs" / "more" / "erdsonde.lst").read_text() != (s / "runs" / "orig" / "erdsonde.lst").read_text()

    chain = tmp_path / "kette.gruv.tpl"
    chain2 = ROOT / "examples" / "restart_chain_2"
    chain.write_text("ptf #\n" + (chain2 / "restart_chain_2.gruv").read_text().replace("   30  200", "#n  #  200", 1))
    params.write_text("run,n\n1,30\n")
    s = tmp_path / "chain"
    p = study("init", s, "--template", chain, "--params", params,
              "--files", f"{chain2 / 'GRUVWS'}=GRUVWS")
    assert p.returncode == 0, p.stderr
    assert study("run", s, "--gruv3d", gruv3d).returncode == 0
    same_as_golden(s / "runs" / "1", "restart_chain_2")  # the run rewrote GRUVWS in its folder
    # Started again (as after an interruption): from the study's GRUVWS, not the rewritten one.
    (s / "runs" / "1" / "status.json").unlink()
    assert study("run", s, "--gruv3d", gruv3d).returncode == 0
    same_as_golden(s / "runs" / "1", "restart_chain_2")
    assert (s / "template" / "GRUVWS").read_bytes() == (chain2 / "GRUVWS").read_bytes()
