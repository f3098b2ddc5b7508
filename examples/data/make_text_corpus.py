"""Writes text_corpus.tsv next to this script: short labelled sentences on three topics, built
from topic word lists and shared filler words with a fixed seed, so the file is the same on every
run. One "label<TAB>text" line per sentence."""

import random
from pathlib import Path

TOPICS = {
    "sport": "match goal team score player coach league season win lost referee penalty striker keeper "
             "stadium fans cup final training injury transfer derby champion race",
    "cooking": "recipe oven bake flour butter sugar salt pepper garlic onion simmer boil roast sauce "
               "pan knife dough soup salad dinner taste spicy fresh cheese",
    "weather": "rain snow wind storm cloud sunny forecast temperature cold warm frost fog thunder "
               "humid degrees showers breeze heatwave ice sky umbrella gale drizzle",
}
FILLER = ("the a and of to in on was is it with for this that we they very today yesterday again "
          "really some more after before big small new old good bad great").split()


def sentence(rng, words):
    n = rng.randint(6, 14)
    # About one word in two is a topic word; the rest is filler shared by all topics.
    return " ".join(rng.choice(words) if rng.random() < 0.5 else rng.choice(FILLER) for _ in range(n))


def main() -> None:
    rng = random.Random(2024)
    lines = []
    for _ in range(100):
        for label, words in TOPICS.items():
            text = sentence(rng, words.split())
            # A little noise a tokenizer must cope with: capitals, punctuation, digits.
            if rng.random() < 0.3:
                text = text.capitalize() + rng.choice(["!", ".", "?", " :)", ", 2 times."])
            lines.append(f"{label}\t{text}")
    rng.shuffle(lines)
    (Path(__file__).resolve().parent / "text_corpus.tsv").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
