"""Contracts every classic model keeps, one parametrised test each over the registry: the registry
names every model class, save and load default to the model's own file name, and a label holding a
double quote (which the files cannot carry) is refused at save before the file is touched."""

import pytest

from models.registry import MODELS, registered_models

QUOTED = ['a"b', '"', 'end"', 'say "hi"']


def properties(model) -> dict:
    """Every readable property, by repr: equal states hold equal bits (and NaN equals NaN)."""
    return {name: repr(getattr(model, name)) for name, value in vars(type(model)).items()
            if isinstance(value, property)}


def test_the_registry_names_every_model_class():
    assert {m.name for m in MODELS} == registered_models()


@pytest.mark.parametrize("entry", MODELS, ids=str)
def test_save_and_load_default_to_the_model_file_name(entry, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    model = entry.fitted()
    model.save()
    assert [p.name for p in tmp_path.iterdir()] == [entry.file]
    again = entry.cls()
    again.load()
    assert again == model and properties(again) == properties(model)
    assert again.predict(entry.queries) == model.predict(entry.queries)
    for method in (entry.cls.save, entry.cls.load):
        assert f"path: str | os.PathLike[str] = '{entry.file}'" in method.__doc__


HOLDERS = [pytest.param(entry, place, id=f"{entry}.{place}") for entry in MODELS for place in entry.holding()]


@pytest.mark.parametrize("label", QUOTED)
@pytest.mark.parametrize("entry, place", HOLDERS)
def test_a_label_holding_a_double_quote_is_refused_before_the_file_is_touched(entry, place, label, tmp_path):
    kept, absent = tmp_path / "kept.json", tmp_path / "absent.json"
    kept.write_text("previous content")
    model = entry.holding()[place](label)
    for path in (kept, absent):
        with pytest.raises(ValueError, match="double-quote"):
            model.save(str(path))
    assert kept.read_text() == "previous content"
    assert not absent.exists()
