#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Random valid Narravox games and command scripts.

From a seed, `generate(seed)` makes a game in the scenario language (docs/scenario-language.md)
and a script of typed lines to play it with through `narravox-term --batch`, together with the
size of the text window. The same seed always gives the same bytes, on every machine and every
Python 3, so that a case found by the parity test (parity_test.py) can be made again.

The game uses everything the language has: several locations with and without titles (and
explicit numbers), a global location or none, verbs with synonyms written plainly and quoted,
lists broken over lines, object phrases (with "ё", numbers and punctuation), empty-phrase
sections, every statement (text over several lines with every escape, centred text, clear
screen, set, clear, clear flags, jumps to any location including the start and the global one,
if / if not / else / else if nested, pass), arrival reactions that jump on, comments, varied
indentation, a byte order mark and CRLF line ends. Only valid games are made: jumps that an
arrival makes at the top level of its reaction go forward in a fixed order of the locations, so
that no arrival cycle without end can arise, and conditions never nest deeper than 64.

The script mixes commands that reach reactions (in capitals, with "ё" for "е" and back, with
extra spaces), verbs alone, unknown words, Latin, characters code page 1251 lacks, invalid
UTF-8, tabs, lines longer than the window, empty lines, CRLF line ends, the built-in commands
"сохранить" and "загрузить" with the file name on the next line (saved games loaded back,
names that do not exist, the game's own data files, names too long, folders that do not exist,
an empty name that cancels), "выход" and "quit" with the answer on the next line, and the
hidden-mode word.

Command line:

    random_game.py SEED [-o DIR]              # DIR/game.nvx, DIR/game.in, DIR/args
    random_game.py SEED --print source|script|args
    random_game.py --ply narravox-ply --check FIRST COUNT   # every seed must compile
"""

import argparse
import dataclasses
import os
import random
import subprocess
import sys
import tempfile

KEYWORDS = {"info", "start", "global", "arrival", "verb", "flag", "location", "object", "on",
            "text", "center", "clear", "set", "jump", "if", "not", "else", "pass", "screen",
            "flags", "off"}

# Location names (case matters: "Двор" and "двор" are two locations) and titles as written in
# source, between the quotes.
LOCATION_NAMES = ["Двор", "Сад", "Дом", "Лес", "Поле", "Подвал", "Чердак", "Башня", "Мост",
                  "Берег", "Пещера", "Кухня", "Hall", "room_2", "Комната-3", "Ёлки", "двор",
                  "Zal_Б", "Причал", "Маяк", "x", "Очень_длинное_имя_локации_номер_1"]
GLOBAL_NAMES = ["Везде", "Global", "всюду", "_общее"]
TITLES = ["Старый сад", "Тёмный лес", "", "Комната №3", "Hall of Mirrors", "«Маяк»",
          "Очень длинное название места, которое не поместится ни в какую строку заголовка",
          r"Ёлочный \"зал\"", "Подвал — сыро", "  Отступ", "Чердак\\t(пыльный)", "Ё", "1",
          r"Слэш \\ и кавычка \"", "ЗАГЛАВНЫЕ БУКВЫ", "Перекрёсток дорог"]

# Verbs: the name reactions use, and what a player may type. Synonyms are unique across the
# pool, in small letters and without "ё"; a synonym holding something other than words and
# numbers is quoted.
VERB_POOL = [
    ("осмотреть", ["осмотреть", "осм", "о", "смотреть", "оглядеться", "смотреть на", "look"]),
    ("взять", ["взять", "брать", "подобрать", "возьми", "бери", "take"]),
    ("открыть", ["открыть", "отпереть", "открой", "open"]),
    ("закрыть", ["закрыть", "запереть", "закрой"]),
    ("читать", ["читать", "прочитать", "прочесть", "прочти"]),
    ("север", ["идти на север", "иди на север", "на север", "север", "с"]),
    ("юг", ["идти на юг", "на юг", "юг", "ю"]),
    ("восток", ["идти на восток", "восток", "в"]),
    ("запад", ["идти на запад", "запад", "з"]),
    ("идти", ["идти", "иди", "пойти", "идти в"]),
    ("войти", ["войти", "зайти", "войти в", "зайти в"]),
    ("нажать", ["нажать", "нажми", "press"]),
    ("ждать", ["ждать", "жди", "подождать", "wait", "z"]),
    ("инвентарь", ["инвентарь", "инв", "и", "i"]),
    ("помощь", ["помощь", "справка", '"?"', "help", '"помощь!"']),
    ("зажечь", ["зажечь", "зажги", "включить"]),
    ("прыгнуть", ["прыгнуть", "прыгать", "jump", "прыг"]),
    ("сказать", ["сказать", "говорить", "скажи", '"сказать:"']),
    ("копать", ["копать", "рыть", "копай"]),
    ("Кинуть_2", ["кинуть", "бросить", "брось", "2"]),
]
DIRECTIONS = ["север", "юг", "восток", "запад"]
ARRIVAL_ONLY_NAMES = ["прибытие", "arrive", "войти_сюда"]

FLAG_NAMES = ["ключ_взят", "дверь_открыта", "свет", "f1", "флаг-2", "Ёж", "lamp_on", "был_тут",
              "x", "очень_длинное_имя_флага_для_проверки", "Свет", "лифт", "тайна", "_0"]

# Objects: the phrases a player may type for one thing, as (source, typed). Phrases with "ё"
# match typed "е" and back; numbers and punctuation are kept.
OBJECT_POOL = [
    ["ключ", "медный ключ", "тяжёлый медный ключ"],
    ["дверь", "дубовую дверь", "дверь в дом"],
    ["книгу", "книга", "старую книгу"],
    ["лампу", "лампа", "керосиновую лампу"],
    ["ёлку", "ёлка"],
    ["письмо", "письмо от брата"],
    ["сундук", "сундук с замком"],
    ["окно", "разбитое окно"],
    ["зеркало"],
    ["камень", "серый камень"],
    ["люк", "люк в полу"],
    ["кнопку", "красную кнопку"],
    ["ежа", "ёжика"],
    ["свечу", "свеча"],
    ["key", "old key"],
    ["лестницу", "вверх", "наверх"],
    ["дом"], ["двор"], ["сад"], ["лес"],
    ['"ключ №1"'], ['"?"'], ["комнату 101"], ['"мёд"', "мед"],
    ['"а-б-в"', '"a.b"'], ["42"],
]
# Phrases that can never match (the compiler warns); rare.
DEAD_PHRASES = ['"Ключ"', '"два  пробела"', '" снаружи "']

# Texts as written in source between the quotes (escapes included).
TEXTS = [
    "Вы во дворе. Под ногами блестит ключ.",
    "На севере — сад, на юге — старый дом.",
    "Здесь темно, хоть глаз выколи.",
    "Ключ уже у вас.",
    "Дверь заперта.",
    "Ничего не происходит.",
    "«Маяк» — написано на табличке.",
    "Ёж фыркнул и убежал в ёлки.",
    r"Вы слышите: \"Кто там?\"",
    r"Путь: C:\\games\\narravox",
    r"Строка\nс переводом.",
    r"Табуляция:\tвот.",
    r"Символ \xB9 5 и \xAB кавычки \xBB.",
    r"Байты \x01\x7F\x98\xFF.",
    r"Возврат каретки\x0Dвнутри.",
    "The door is locked.",
    "   Отступ в начале строки.",
    "",
    "Конец строки с пробелами   ",
    "Вы идёте по узкой тропинке вдоль обрыва, и ветер с моря рвёт полы вашего плаща, а "
    "где-то внизу, у самых камней, кричат чайки.",
    "Аааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааааа",
    "1234567890" * 9,
    "Коротко.",
    "Это ещё не всё.",
    "Глава I",
    "КОНЕЦ",
    "Слово слово слово слово слово слово слово слово слово слово слово слово слово слово.",
    "a b c d e f g h i j k l m n o p q r s t u v w x y z",
    "Смешанный text with латиницей and кириллицей.",
    r"\n",
    r"\n\n",
    "Цифры: 3.14, 2+2=4, 100%!",
    "№ ‰ € ‚ „ … † ‡ ™ — – • ± µ ¶ § © ®",
]

UNKNOWN_WORDS = ["абырвалг", "кракозябра", "шмыг", "xyzzy", "plugh", "фыва", "ъ", "ЙЦУКЕН",
                 "бздынь", "qwerty"]
LATIN_LINES = ["take the key", "look", "QUIT now", "go north", "Open Door", "inventory",
               "i", "help me", "xyzzy plugh", "Hello, World!"]
FOREIGN_LINES = ["взять 🔑ключ", "中文", "ключ ✓", "Ω омега", "ǅ", "😀😀😀", "взять ключ ☃",
                 "ĉ ŝ ĝ", "über"]
INVALID_UTF8 = [b"\xff\xfe", b"\xc3(", b"\xd0", b"\xe2\x82", b"\x80\x80 " + "ключ".encode()]
SAVE_NAMES = ["игра", "save1", "Сохранение", "slot.nvs", "игра.nvs", "a", "test.sav",
              "Мой файл", "x.y.z", ".скрытый", "имя.", "SAVE", "сохр 2", "ёж"]
MISSING_NAMES = ["нет_такого", "missing", "нет_такого.nvs", "Игра", "сохр"]
DATA_FILE_NAMES = ["Commands.ply", "Scenario.ply", "./Commands.ply"]
ODD_NAMES = ["папка/", "нет_папки/файл", "д" * 200, "l" * 300, "    ", "имя с  пробелами ",
             "🔑ключ", "a\tb"]
QUIT_WORDS = ["выход", "quit", "ВЫХОД", "Quit", "  выход  ", "ВыХоД", "QUIT"]
NO_ANSWERS = ["нет", "Нет", "н", "no", "n", "", "может быть", "ДА НЕТ", "да!", " да"]
YES_ANSWERS = ["да", "Да", "д", "Д", "yes", "Y", "y", "ДА"]
SAVE_WORDS = ["сохранить", "Сохранить", "  СОХРАНИТЬ ", "сохранить"]
LOAD_WORDS = ["загрузить", "Загрузить", "ЗАГРУЗИТЬ", " загрузить  "]

for _name in LOCATION_NAMES + GLOBAL_NAMES + FLAG_NAMES + ARRIVAL_ONLY_NAMES:
    assert _name not in KEYWORDS, _name


@dataclasses.dataclass
class Case:
    seed: int
    source: bytes       # the game, UTF-8 (a byte order mark and CRLF ends at times)
    script: bytes       # standard input: the typed lines
    columns: int
    lines: int
    args: list          # the arguments for the program, window size included
    stats: dict         # what the game and the script hold, for a summary


@dataclasses.dataclass
class Location:
    name: str
    title: object = None      # source text between the quotes, or None
    number: object = None     # explicit "= N", or None
    is_global: bool = False
    sections: list = dataclasses.field(default_factory=list)
    order: int = 0            # position in the forward order of arrival jumps


@dataclasses.dataclass
class Verb:
    name: str
    synonyms: list            # as written in source
    number: object = None


@dataclasses.dataclass
class Section:
    phrases: list             # as written in source; [] is "object:"
    reactions: list = dataclasses.field(default_factory=list)   # (verbs, body)


def typed_form(source_phrase):
    """What a player types for a phrase or synonym written in source."""
    if source_phrase.startswith('"'):
        return source_phrase[1:-1]
    return source_phrase


class GameGenerator:
    def __init__(self, rng):
        self.rng = rng
        self.stats = {}

    def count(self, key, n=1):
        self.stats[key] = self.stats.get(key, 0) + n

    # ---- the model --------------------------------------------------------------------

    def build(self):
        rng = self.rng
        n_locations = rng.randint(2, 7)
        names = rng.sample(LOCATION_NAMES, n_locations)
        self.locations = [Location(name) for name in names]
        self.global_location = None
        if rng.random() < 0.75:
            self.global_location = Location(rng.choice(GLOBAL_NAMES), is_global=True)
            if rng.random() < 0.5:
                self.global_location.title = rng.choice(['', 'Везде', 'Global'])
        for location in self.locations:
            if rng.random() < 0.6:
                location.title = rng.choice(TITLES)
        everything = self.locations + ([self.global_location] if self.global_location else [])
        used_numbers = set()
        for location in everything:
            if rng.random() < 0.2:
                number = rng.choice([0, 1, 44, 255, 256, 300, 1000, 65534, 65535,
                                     rng.randint(0, 65535)])
                if number not in used_numbers:
                    used_numbers.add(number)
                    location.number = number
        order = list(everything)
        rng.shuffle(order)
        for index, location in enumerate(order):
            location.order = index
        self.start = rng.choice(self.locations)

        # Verbs.
        pool = list(VERB_POOL)
        rng.shuffle(pool)
        chosen = pool[:rng.randint(3, 10)]
        # Moving needs directions or "идти"; most games have some.
        if rng.random() < 0.8:
            for name, synonyms in VERB_POOL:
                if name in DIRECTIONS[:2] and all(name != c[0] for c in chosen):
                    chosen.append((name, synonyms))
        self.verbs = []
        used_verb_numbers = set()
        for name, synonyms in chosen:
            picked = [s for s in synonyms if rng.random() < 0.6] or [synonyms[0]]
            rng.shuffle(picked)
            picked = [f'"{s}"' if not s.startswith('"') and rng.random() < 0.15 else s
                      for s in picked]
            verb = Verb(name, picked)
            if rng.random() < 0.15:
                number = rng.choice([0, 2, 7, 100, -2, -32768, 32767, rng.randint(-32768, 32767)])
                if number != -1 and number not in used_verb_numbers:
                    used_verb_numbers.add(number)
                    verb.number = number
            self.verbs.append(verb)
        mode = rng.choices(["typed", "hidden", "minus1"], [6, 2, 2])[0]
        self.count("arrival verb " + mode)
        if mode == "typed":
            self.arrival = rng.choice(self.verbs)
        else:
            self.arrival = Verb(rng.choice(ARRIVAL_ONLY_NAMES), [])
            if mode == "minus1":
                self.arrival.number = -1
            self.verbs.insert(rng.randrange(len(self.verbs) + 1), self.arrival)
        self.typed_verbs = [v for v in self.verbs if v.synonyms]

        # Flags: some declared (some with numbers), the rest only used.
        self.flags = rng.sample(FLAG_NAMES, rng.randint(2, 8))
        self.flag_declarations = []
        used_flag_numbers = set()
        for flag in self.flags:
            if rng.random() < 0.4:
                number = None
                if rng.random() < 0.3:
                    number = rng.choice([0, 7, 8, 255, 4095, 4096, 32767, rng.randint(0, 32767)])
                    if number in used_flag_numbers:
                        number = None
                    else:
                        used_flag_numbers.add(number)
                self.flag_declarations.append((flag, number))

        for location in everything:
            self.build_location(location)
        # A deep nest of conditions, at times, up to the limit of 64.
        if rng.random() < 0.08:
            location = rng.choice(self.locations)
            verb = rng.choice(self.typed_verbs) if self.typed_verbs else self.arrival
            depth = rng.choice([10, 30, 63, 64])
            body = self.deep_nest(depth)
            location.sections.append(Section([], [([verb.name], body)]))
            self.count("deep nest")
        self.set_tested_flags()

    def reactions(self):
        everything = self.locations + ([self.global_location] if self.global_location else [])
        return [(location, reaction) for location in everything
                for section in location.sections for reaction in section.reactions]

    def set_tested_flags(self):
        """Every flag that is tested is set somewhere, so that both branches can be taken."""
        tested, set_ = [], set()

        def walk(body):
            for s in body:
                if s[0] == "if":
                    if s[2] not in tested:
                        tested.append(s[2])
                    walk(s[3])
                    walk(s[5] or [])
                elif s[0] == "set":
                    set_.add(s[1])
        reactions = self.reactions()
        for _, (_, body) in reactions:
            walk(body)
        for flag in tested:
            if flag not in set_ and reactions and self.rng.random() < 0.95:
                _, (_, body) = self.rng.choice(reactions)
                body.insert(0, ("set", flag))
                self.count("set")

    def build_location(self, location):
        rng = self.rng
        is_global = location.is_global
        others = [v for v in self.typed_verbs if v is not self.arrival]
        if rng.random() < 0.03 and not is_global:
            self.count("location without objects")
            return
        if rng.random() < (0.6 if is_global else 0.9):
            section = Section([] if rng.random() < 0.9 else ['""'])
            if rng.random() < (0.3 if is_global else 0.9):
                section.reactions.append(([self.arrival.name],
                                          self.body(location, arrival=True)))
                self.count("arrival reactions")
            moves = [v for v in others if v.name in DIRECTIONS or v.name in ("идти", "войти")]
            for verb in rng.sample(moves, min(len(moves), rng.randint(0, 3))):
                section.reactions.append(([verb.name], self.move_body(location)))
            for verb in rng.sample(others, min(len(others), rng.randint(0, 2))):
                if all(verb.name not in r[0] for r in section.reactions):
                    section.reactions.append(([verb.name], self.body(location)))
            if not section.reactions and rng.random() < 0.5 and others:
                section.reactions.append(([rng.choice(others).name], self.body(location)))
            location.sections.append(section)
            self.count("empty-phrase sections")
        for _ in range(rng.randint(0, 3 if is_global else 4)):
            group = rng.choice(OBJECT_POOL)
            phrases = rng.sample(group, rng.randint(1, len(group)))
            if rng.random() < 0.03:
                phrases.append(rng.choice(DEAD_PHRASES))
                self.count("dead phrases")
            section = Section(phrases)
            if rng.random() < 0.05:
                self.count("objects without reactions")
            else:
                # Objects may answer the arrival verb too ("осмотреть ключ"): with a phrase it
                # is no arrival.
                usable = self.typed_verbs
                for _ in range(rng.randint(1, 3)):
                    if not usable:
                        break
                    verbs = rng.sample(usable, min(len(usable), rng.choice([1, 1, 1, 2, 3])))
                    names = [v.name for v in verbs]
                    if any(n in ("идти", "войти") for n in names) and rng.random() < 0.6:
                        section.reactions.append((names, self.move_body(location)))
                    else:
                        section.reactions.append((names, self.body(location)))
            location.sections.append(section)
            self.count("objects")
        # An empty-phrase section later on, which the first one hides for the verbs they share.
        if rng.random() < 0.1 and others:
            location.sections.append(Section([], [([rng.choice(others).name],
                                                   self.body(location))]))
            self.count("later empty-phrase sections")

    # ---- statements -------------------------------------------------------------------
    # A statement is a tuple: ("text", [lines]), ("center", "on"|"off"), ("clear screen",),
    # ("set", flag), ("clear", flag), ("clear flags",), ("jump", location), ("pass",),
    # ("if", negate, flag, then, else_kind, else_body) with else_kind None, "else" or "elif".

    def jump_target(self, location, forward_only):
        rng = self.rng
        everything = self.locations + ([self.global_location] if self.global_location else [])
        if forward_only:
            candidates = [l for l in everything if l.order > location.order]
            return rng.choice(candidates) if candidates else None
        roll = rng.random()
        if roll < 0.2:
            return self.start
        if roll < 0.215 and self.global_location:
            self.count("jumps to the global location")
            return self.global_location
        if roll < 0.33:
            return location
        return rng.choice(self.locations)

    def text_statement(self):
        rng = self.rng
        lines = [rng.choice(TEXTS)]
        if rng.random() < 0.25:
            for _ in range(rng.randint(1, 3)):
                lines.append(rng.choice(TEXTS))
            self.count("continued texts")
        return ("text", lines)

    def move_body(self, location):
        rng = self.rng
        body = []
        if rng.random() < 0.3:
            body.append(self.text_statement())
        if rng.random() < 0.25:
            flag = rng.choice(self.flags)
            body.append(("if", rng.random() < 0.5, flag,
                         [("jump", self.jump_target(location, False))], "else",
                         [self.text_statement()]))
            self.count("if")
        else:
            body.append(("jump", self.jump_target(location, False)))
        self.count("jump")
        return body

    def body(self, location, arrival=False, depth=0):
        """Statements for a reaction (depth 0) or a branch. In a reaction to the arrival verb,
        a jump at the top level goes forward only: those are the jumps that always happen on
        arrival, and going forward they cannot come round in a cycle without end."""
        rng = self.rng
        statements = []
        for _ in range(rng.randint(1, 4) if depth == 0 else rng.randint(1, 3)):
            kinds = ["text", "set", "clear", "clear flags", "if", "jump", "center",
                     "clear screen", "pass"]
            weights = [30, 12, 6, 1, 16 if depth < 4 else 0, 6, 4, 2, 2]
            kind = rng.choices(kinds, weights)[0]
            self.count(kind)
            if kind == "text":
                statements.append(self.text_statement())
            elif kind in ("set", "clear"):
                statements.append((kind, rng.choice(self.flags)))
            elif kind in ("clear flags", "clear screen", "pass"):
                statements.append((kind,))
            elif kind == "jump":
                forward = arrival and (depth == 0 or rng.random() < 0.85)
                target = self.jump_target(location, forward)
                if target is None:
                    statements.append(self.text_statement())
                else:
                    statements.append(("jump", target))
            elif kind == "center":
                statements.append(("center", "on"))
                for _ in range(rng.randint(1, 3)):
                    statements.append(self.text_statement())
                if rng.random() < 0.6:
                    statements.append(("center", "off"))
                    if rng.random() < 0.5:
                        statements.append(self.text_statement())
            elif kind == "if":
                statements.append(self.if_statement(location, arrival, depth))
        return statements

    def if_statement(self, location, arrival, depth):
        rng = self.rng
        then = self.body(location, arrival, depth + 1)
        else_kind = rng.choices([None, "else", "elif"], [5, 4, 2])[0]
        else_body = None
        if else_kind == "else":
            else_body = self.body(location, arrival, depth + 1)
            self.count("else")
        elif else_kind == "elif":
            else_body = [self.if_statement(location, arrival, depth + 1)]
            self.count("else if")
        negate = rng.random() < 0.4
        if negate:
            self.count("if not")
        return ("if", negate, rng.choice(self.flags), then, else_kind, else_body)

    def deep_nest(self, depth):
        rng = self.rng
        inner = [("text", [f"Глубина {depth}."])]
        for level in range(depth - 1, -1, -1):
            flag = rng.choice(self.flags)
            negate = rng.random() < 0.7
            body = [("text", [f"Уровень {level}."])] + inner if rng.random() < 0.2 else inner
            inner = [("if", negate, flag, body, "else" if rng.random() < 0.2 else None,
                      [("text", [f"Иначе {level}."])])]
        return inner

    # ---- source -----------------------------------------------------------------------

    def render(self, columns, lines):
        rng = self.rng
        self.tidy = rng.random() < 0.5
        out = [f"# Random game (random_game.py). window: {columns}x{lines}"]
        items = []
        if rng.random() < 0.85:
            info = [rng.choice(["Случайная игра.", "«Проверка»", "Random game", r"Игра\nв две строки",
                                "", "Очень длинная информация о сценарии, которая не уместится "
                                "в одну строку окна и будет перенесена."])]
            for _ in range(rng.choice([0, 0, 1, 2])):
                info.append(rng.choice(["", "Вторая строка.", "Наберите «помощь»."]))
            items.append(self.text_lines("info ", info, 0))
        items.append([f"start {self.start.name}"])
        items.append([f"arrival {self.arrival.name}" + self.comment()])
        if self.global_location:
            items.append([f"global {self.global_location.name}"])
        headers = len(items)
        for verb in self.verbs:
            head = f"verb {verb.name}"
            if verb.number is not None:
                head += f" = {verb.number}"
            if verb.synonyms:
                items.append(self.list_lines(head + ": ", verb.synonyms, ""))
            else:
                items.append([head])
        if self.flag_declarations:
            entries = [f"{name} = {number}" if number is not None else name
                       for name, number in self.flag_declarations]
            split = rng.randint(1, len(entries))
            items.append(self.list_lines("flag ", entries[:split], ""))
            if split < len(entries):
                items.append(self.list_lines("flag ", entries[split:], ""))
        everything = self.locations + ([self.global_location] if self.global_location else [])
        for location in everything:
            items.append(self.location_lines(location))
        if rng.random() < 0.3:
            # Header lines may stand anywhere at the top level.
            header_items = items[:headers]
            rest = items[headers:]
            for item in header_items:
                rest.insert(rng.randint(0, len(rest)), item)
            items = rest
            self.count("headers moved")
        for item in items:
            if rng.random() < 0.3:
                out.append("")
            if rng.random() < 0.1:
                out.append(" " * rng.randint(0, 6) + "# комментарий: ё, «», — и 'кавычки' \"")
            out.extend(item)
        text = "\n".join(out) + "\n"
        if rng.random() < 0.1:
            text = text.replace("\n", "\r\n")
            self.count("CRLF source")
        data = text.encode("utf-8")
        if rng.random() < 0.1:
            data = b"\xef\xbb\xbf" + data
            self.count("BOM source")
        return data

    def comment(self):
        return "  # комментарий" if self.rng.random() < 0.1 else ""

    def step(self):
        return 4 if self.tidy else self.rng.randint(1, 4)

    def list_lines(self, head, entries, indent):
        """`head` followed by entries separated by commas, broken after a comma at times."""
        rng = self.rng
        result = [indent + head + entries[0]]
        continuation = indent + " " * self.step()
        for entry in entries[1:]:
            if rng.random() < 0.15:
                result[-1] += ","
                result.append(continuation + entry)
                self.count("broken lists")
            else:
                result[-1] += ", " + entry
        return result

    def text_lines(self, head, lines, indent_width):
        rng = self.rng
        indent = " " * indent_width
        result = [f'{indent}{head}"{lines[0]}"' + self.comment()]
        extra = len(head) if rng.random() < 0.7 else rng.randint(1, 8)
        for line in lines[1:]:
            result.append(" " * (indent_width + extra) + f'"{line}"')
        return result

    def location_lines(self, location):
        head = f"location {location.name}"
        if location.number is not None:
            head += f" = {location.number}"
        if location.title is not None:
            head += f' "{location.title}"'
        if self.rng.random() < 0.1:
            head += ":"
        result = [head + self.comment()]
        indent = self.step()
        for section in location.sections:
            if section.phrases:
                result.extend(self.list_lines("object ", section.phrases, " " * indent))
                result[-1] += ":"
            else:
                result.append(" " * indent + "object:")
            inner = indent + self.step()
            for verbs, body in section.reactions:
                result.extend(self.list_lines("on ", verbs, " " * inner))
                result[-1] += ":" + self.comment()
                self.statement_lines(body, inner, result)
        return result

    def statement_lines(self, body, parent, result):
        indent = parent + self.step()
        if not body:
            result.append(" " * indent + "pass")
            return
        for statement in body:
            self.statement(statement, indent, result)

    def statement(self, s, indent, result):
        pad = " " * indent
        kind = s[0]
        if kind == "text":
            result.extend(self.text_lines("text ", s[1], indent))
        elif kind == "center":
            result.append(f"{pad}center {s[1]}")
        elif kind in ("clear screen", "clear flags", "pass"):
            result.append(pad + kind + self.comment())
        elif kind in ("set", "clear", "jump"):
            target = s[1].name if kind == "jump" else s[1]
            result.append(f"{pad}{kind} {target}")
        elif kind == "if":
            self.if_lines(s, indent, result, "if")
        else:
            raise AssertionError(kind)

    def if_lines(self, s, indent, result, keyword):
        _, negate, flag, then, else_kind, else_body = s
        pad = " " * indent
        result.append(f"{pad}{keyword} {'not ' if negate else ''}{flag}:")
        self.statement_lines(then, indent, result)
        if else_kind == "else":
            result.append(f"{pad}else:")
            self.statement_lines(else_body, indent, result)
        elif else_kind == "elif":
            self.if_lines(else_body[0], indent, result, "else if")


class ScriptGenerator:
    """Typed lines for a game; a command is followed by its answer line where it asks one."""

    def __init__(self, rng, game, columns):
        self.rng = rng
        self.game = game
        self.columns = columns
        self.lines = []          # bytes, each without its line end
        self.crlf = set()        # indexes of lines that end in CR LF
        self.saved = []          # names saved so far
        self.stats = {}
        phrases = []
        everything = game.locations + ([game.global_location] if game.global_location else [])
        for location in everything:
            for section in location.sections:
                for verbs, _ in section.reactions:
                    for phrase in section.phrases or ['""']:
                        phrases.append((verbs, typed_form(phrase)))
        self.pairs = phrases     # (verb names, typed phrase) that some reaction answers
        self.all_phrases = [typed_form(p) for group in OBJECT_POOL for p in group]

    def count(self, key, n=1):
        self.stats[key] = self.stats.get(key, 0) + n

    def add(self, text, answer=False):
        """A typed line: a command, or the answer to the question the command before asked."""
        data = text.encode("utf-8") if isinstance(text, str) else text
        self.count("answer lines" if answer else "commands")
        if self.rng.random() < 0.04:
            self.crlf.add(len(self.lines))
            self.count("CRLF lines")
        self.lines.append(data)

    def synonym(self, verb_name):
        for verb in self.game.typed_verbs:
            if verb.name == verb_name:
                return typed_form(self.rng.choice(verb.synonyms))
        return None

    def mangle(self, text):
        """What a player might type for `text`: capitals, "ё" for "е" and back, extra spaces."""
        rng = self.rng
        roll = rng.random()
        if roll < 0.1:
            text = text.upper()
            self.count("upper case")
        elif roll < 0.2:
            text = "".join(c.upper() if rng.random() < 0.3 else c for c in text)
            self.count("mixed case")
        elif roll < 0.25:
            text = text.title()
        if rng.random() < 0.2:
            swap = {"е": "ё", "ё": "е", "Е": "Ё", "Ё": "Е"}
            text = "".join(swap.get(c, c) if rng.random() < 0.5 else c for c in text)
            self.count("ё/е swapped")
        if rng.random() < 0.15:
            words = text.split(" ")
            text = (" " * rng.randint(0, 3)) + (" " * rng.randint(1, 4)).join(words) + \
                   (" " * rng.randint(0, 3))
            self.count("extra spaces")
        return text

    def valid_command(self):
        rng = self.rng
        if not self.pairs:
            return self.verb_alone()
        verbs, phrase = rng.choice(self.pairs)
        typed = self.synonym(rng.choice(verbs))
        if typed is None:     # the arrival verb without synonyms
            return self.verb_alone()
        self.count("commands for a reaction")
        return self.mangle(typed + (" " + phrase if phrase else ""))

    def verb_alone(self):
        verbs = self.game.typed_verbs
        if not verbs:
            return "осмотреть"
        self.count("verbs alone")
        return self.mangle(typed_form(self.rng.choice(self.rng.choice(verbs).synonyms)))

    def save_name(self):
        rng = self.rng
        roll = rng.random()
        if roll < 0.65:
            name = rng.choice(SAVE_NAMES)
            self.saved.append(name)
            self.count("saves")
            return name
        if roll < 0.75:
            self.count("saves cancelled")
            return ""
        if roll < 0.85:
            self.count("saves over data files")
            return rng.choice(DATA_FILE_NAMES)
        self.count("saves under odd names")
        return rng.choice(ODD_NAMES)

    def load_name(self):
        rng = self.rng
        roll = rng.random()
        if roll < 0.5 and self.saved:
            self.count("loads of saved games")
            return rng.choice(self.saved)
        if roll < 0.7:
            self.count("loads of missing files")
            return rng.choice(MISSING_NAMES)
        if roll < 0.8:
            self.count("loads cancelled")
            return ""
        if roll < 0.9:
            self.count("loads of data files")
            return rng.choice(DATA_FILE_NAMES)
        self.count("loads under odd names")
        return rng.choice(ODD_NAMES)

    def long_line(self):
        rng = self.rng
        self.count("lines beyond the width")
        start = self.valid_command() if rng.random() < 0.5 else ""
        filler = " ".join(rng.choice(UNKNOWN_WORDS + ["ключ", "дверь", "и", "очень"])
                          for _ in range(60))
        text = start + " " * rng.randint(1, self.columns) + filler
        return text[:rng.randint(self.columns, self.columns + 200)]

    def build(self):
        rng = self.rng
        # 20 to 80 commands: the loop may go 4 beyond its end (a save, three commands and a
        # load), the ending adds up to 4.
        n = rng.randint(28, 80) - 8
        # At times the game is opened by a save and a load of it right away.
        kinds = ["valid", "alone", "unknown", "verb+unknown", "empty", "spaces", "save", "load",
                 "save+load", "quit", "long", "latin", "foreign", "tab", "vorn", "invalid",
                 "number"]
        weights = [36, 10, 5, 5, 3, 2, 6, 5, 3, 3, 4, 3, 2, 1, 1, 1, 1]
        while self.stats.get("commands", 0) < n:
            kind = rng.choices(kinds, weights)[0]
            if kind == "valid":
                self.add(self.valid_command())
            elif kind == "alone":
                self.add(self.verb_alone())
            elif kind == "unknown":
                self.count("unknown words")
                self.add(self.mangle(rng.choice(UNKNOWN_WORDS) +
                                     (" " + rng.choice(self.all_phrases) if rng.random() < 0.5
                                      else "")))
            elif kind == "verb+unknown":
                self.count("unknown objects")
                verb = self.verb_alone()
                self.add(verb + " " + rng.choice(UNKNOWN_WORDS + self.all_phrases))
            elif kind == "empty":
                self.count("empty lines")
                self.add("")
            elif kind == "spaces":
                self.count("lines of spaces")
                self.add(" " * rng.randint(1, self.columns + 5))
            elif kind == "save":
                self.add(rng.choice(SAVE_WORDS))
                self.add(self.save_name(), answer=True)
            elif kind == "load":
                self.add(rng.choice(LOAD_WORDS))
                self.add(self.load_name(), answer=True)
            elif kind == "save+load":
                name = rng.choice(SAVE_NAMES)
                self.add("сохранить")
                self.add(name, answer=True)
                self.saved.append(name)
                self.count("saves")
                for _ in range(rng.randint(0, 3)):
                    self.add(self.valid_command())
                self.add("загрузить")
                self.add(name, answer=True)
                self.count("loads of saved games")
            elif kind == "quit":
                self.count("quits answered no")
                self.add(rng.choice(QUIT_WORDS))
                self.add(rng.choice(NO_ANSWERS), answer=True)
            elif kind == "long":
                self.add(self.long_line())
            elif kind == "latin":
                self.count("Latin lines")
                self.add(rng.choice(LATIN_LINES))
            elif kind == "foreign":
                self.count("lines with characters cp1251 lacks")
                self.add(rng.choice(FOREIGN_LINES))
            elif kind == "tab":
                self.count("tabs")
                self.add(self.valid_command().replace(" ", "\t", 1) + "\t")
            elif kind == "vorn":
                self.count("hidden mode")
                self.add(rng.choice(["vorn telik", " VORN   Telik"]))
            elif kind == "invalid":
                self.count("invalid UTF-8")
                self.add(rng.choice(INVALID_UTF8) + self.valid_command().encode("utf-8"))
            elif kind == "number":
                self.add(rng.choice(["2", "42", "?", "2 ключ", "кинуть 42", "0", "-1"]))
        ending = rng.choices(["newline", "no newline", "after save", "after load",
                              "after quit", "quit yes"], [55, 12, 6, 5, 5, 17])[0]
        self.count("ending " + ending)
        if ending == "after save":
            self.add("сохранить")
        elif ending == "after load":
            self.add("загрузить")
        elif ending == "after quit":
            self.add(rng.choice(QUIT_WORDS))
        elif ending == "quit yes":
            self.add(rng.choice(QUIT_WORDS))
            self.add(rng.choice(YES_ANSWERS), answer=True)
            for _ in range(rng.randint(0, 3)):  # never read
                self.add(self.valid_command())
                self.count("commands never read")
        out = bytearray()
        for index, line in enumerate(self.lines):
            out += line
            if index == len(self.lines) - 1 and ending == "no newline":
                break
            out += b"\r\n" if index in self.crlf else b"\n"
        return bytes(out)


def generate(seed):
    """The game, the script and the window size for a seed (any integer)."""
    rng = random.Random(f"narravox-random-game-{seed}")
    roll = rng.random()
    if roll < 0.1:
        columns = rng.choice([20, 21, 140])
    else:
        columns = rng.randint(20, 140)
    lines = rng.choice([3, 4, 60]) if rng.random() < 0.1 else rng.randint(3, 60)
    game = GameGenerator(rng)
    game.build()
    source = game.render(columns, lines)
    script_generator = ScriptGenerator(rng, game, columns)
    script = script_generator.build()
    forms = rng.choice([
        ["--batch", "--columns", str(columns), "--lines", str(lines)],
        ["--batch", f"--columns={columns}", f"--lines={lines}"],
        ["--lines", str(lines), "--columns", str(columns), "--batch"],
    ])
    stats = dict(game.stats)
    for key, value in script_generator.stats.items():
        stats["script: " + key] = value
    stats["locations"] = len(game.locations)
    stats["verbs"] = len(game.verbs)
    stats["script lines"] = len(script_generator.lines)
    return Case(seed, source, script, columns, lines, forms, stats)


def compile_game(ply, source_path, folder):
    """Runs narravox-ply build; returns (status, messages)."""
    result = subprocess.run([ply, "build", source_path, "-o", folder], capture_output=True,
                            timeout=60)
    return result.returncode, result.stderr.decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("seed", nargs="?", type=int)
    parser.add_argument("-o", "--output", help="folder for game.nvx, game.in and args")
    parser.add_argument("--print", choices=["source", "script", "args", "stats"])
    parser.add_argument("--ply", help="narravox-ply, for --check")
    parser.add_argument("--check", nargs=2, type=int, metavar=("FIRST", "COUNT"),
                        help="compile the games of COUNT seeds from FIRST; each must compile")
    options = parser.parse_args()
    if options.check:
        if not options.ply:
            parser.error("--check needs --ply")
        first, count = options.check
        warnings = 0
        with tempfile.TemporaryDirectory(prefix="narravox-random-") as folder:
            for seed in range(first, first + count):
                case = generate(seed)
                source_path = os.path.join(folder, "game.nvx")
                with open(source_path, "wb") as f:
                    f.write(case.source)
                status, messages = compile_game(options.ply, source_path,
                                                os.path.join(folder, "game"))
                if status != 0 or ": error:" in messages:
                    kept = os.path.join(tempfile.gettempdir(), f"narravox-random-{seed}.nvx")
                    with open(kept, "wb") as f:
                        f.write(case.source)
                    print(f"seed {seed}: does not compile ({kept}):\n{messages}")
                    return 1
                warnings += messages.count(": warning:")
        print(f"{count} games compile ({warnings} warnings)")
        return 0
    if options.seed is None:
        parser.error("a seed is needed")
    case = generate(options.seed)
    if options.output:
        os.makedirs(options.output, exist_ok=True)
        with open(os.path.join(options.output, "game.nvx"), "wb") as f:
            f.write(case.source)
        with open(os.path.join(options.output, "game.in"), "wb") as f:
            f.write(case.script)
        with open(os.path.join(options.output, "args"), "w", encoding="utf-8") as f:
            f.write(" ".join(case.args) + "\n")
    if options.print == "source" or (not options.output and not options.print):
        sys.stdout.buffer.write(case.source)
    elif options.print == "script":
        sys.stdout.buffer.write(case.script)
    elif options.print == "args":
        print(" ".join(case.args))
    elif options.print == "stats":
        for key in sorted(case.stats):
            print(f"{key}: {case.stats[key]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
