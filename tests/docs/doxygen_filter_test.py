"""Tests of docs/doxygen_filter.py: what Doxygen is shown of a header, line for line."""
import os
import subprocess
import sys
import tempfile
import unittest

FILTER = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "doxygen_filter.py")


def run_filter(header_name, text):
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, header_name)
        with open(path, "w", encoding="utf-8") as header:
            header.write(text)
        result = subprocess.run([sys.executable, FILTER, path], capture_output=True, text=True,
                                check=True)
        return result.stdout


def run_check(texts):
    with tempfile.TemporaryDirectory() as directory:
        paths = []
        for index, text in enumerate(texts):
            path = os.path.join(directory, f"H{index}.h")
            with open(path, "w", encoding="utf-8") as header:
                header.write(text)
            paths.append(path)
        return subprocess.run([sys.executable, FILTER, "--check", *paths], capture_output=True,
                              text=True)


CLASS_HEADER = """\
// Widget holds bytes. A <b> mention and `std::vector<int>` stay text.
//
// Layout:
//   kind   1 byte
//   size   4 bytes
//
// Rules:
//   - first rule
//     continued
#ifndef WIDGET_H_
#define WIDGET_H_

namespace orvelpdu {

class ORVELPDU_API Widget {
 public:
  // ---- Section ----

  // Makes an empty widget.
  // REQUIRES: size >= 0.
  Widget(int size);
  int count;  // items held
  int other;  // NOLINT(runtime/int)
};

}  // namespace orvelpdu

#endif  // WIDGET_H_
"""


class DoxygenFilter(unittest.TestCase):
    def test_keeps_every_line_in_place(self):
        out = run_filter("Widget.h", CLASS_HEADER).split("\n")
        source = CLASS_HEADER.split("\n")
        self.assertEqual(len(source), len(out))
        # Code lines are untouched where they are.
        for number in (12, 14, 15, 20):
            self.assertEqual(source[number], out[number])

    def test_opening_comment_documents_the_namespaced_class_and_hides_the_guard(self):
        out = run_filter("Widget.h", CLASS_HEADER).split("\n")
        self.assertTrue(out[0].startswith("/// Widget holds bytes."))
        self.assertEqual("/// @class orvelpdu::Widget", out[9])
        self.assertEqual("", out[10])
        self.assertEqual("", out[-2])

    def test_escapes_html_outside_code_spans_only(self):
        out = run_filter("Widget.h", CLASS_HEADER).split("\n")
        self.assertIn(r"A \<b\> mention and `std::vector<int>` stay text.", out[0])

    def test_bytes_includes_and_scopes_are_text_not_commands_or_links(self):
        text = ('// Fill \\xCD, not "\\0" or "<b>"; see #include, ::name, `#x` and a::b.\n'
                "int x;\n")
        out = run_filter("Other.h", text).split("\n")
        # Without an include guard to take its place, @file gets a line of its own.
        self.assertEqual(["/// @file", '/// Fill \\\\xCD, not "\\0" or "<b>"; see \\#include, '
                          '\\::name, `#x` and a::b.', "int x;"], out[:3])

    def test_tables_keep_their_layout_and_lists_stay_lists(self):
        out = run_filter("Widget.h", CLASS_HEADER).split("\n")
        self.assertEqual("///@code{.unparsed}kind   1 byte", out[3])
        self.assertEqual("/// size   4 bytes @endcode", out[4])
        self.assertEqual("///   - first rule", out[7])
        self.assertEqual("///     continued", out[8])

    def test_member_comments_preconditions_and_trailing_notes(self):
        out = run_filter("Widget.h", CLASS_HEADER).split("\n")
        self.assertEqual("  // ---- Section ----", out[16])
        self.assertEqual("  /// Makes an empty widget.", out[18])
        self.assertEqual(r"  /// @pre size \>= 0.", out[19])
        self.assertEqual("  int count;  ///< items held", out[21])
        self.assertEqual("  int other;  // NOLINT(runtime/int)", out[22])
        self.assertEqual("}  // namespace orvelpdu", out[25])

    def test_comments_inside_inline_bodies_stay_plain(self):
        text = ("// Inline.\n#ifndef I_H_\n#define I_H_\n"
                "// Whether it is set.\n"
                "inline bool isSet(int v) {\n"
                "  // Negative values count as unset.\n"
                "  if (v < 0) {\n"
                "    return false;  // early\n"
                "  }\n"
                "  return v != 0;\n"
                "}\n"
                "// Kinds.\n"
                "enum class Kind { kA,  // first\n"
                "};\n"
                "#endif\n")
        out = run_filter("Inline.h", text).split("\n")
        self.assertEqual("/// Whether it is set.", out[3])
        self.assertEqual("  // Negative values count as unset.", out[5])
        self.assertEqual("    return false;  // early", out[7])
        # After the body, comments document again, an enum's opening brace is no body.
        self.assertEqual("/// Kinds.", out[11])
        self.assertEqual("enum class Kind { kA,  ///< first", out[12])

    def test_header_without_its_class_documents_the_file(self):
        text = "// Free functions.\n#ifndef F_H_\n#define F_H_\n// Adds.\nint add();\n#endif\n"
        out = run_filter("Functions.h", text).split("\n")
        self.assertEqual("/// @file", out[1])
        self.assertEqual("/// Adds.", out[3])

    def test_forward_declaration_is_not_the_class(self):
        text = ("// Thing.\n#ifndef T_H_\n#define T_H_\nclass Thing;\nint use(Thing*);\n"
                "#endif\n")
        self.assertEqual("/// @file", run_filter("Thing.h", text).split("\n")[1])

    def test_check_names_headers_without_an_opening_comment(self):
        result = run_check(["// Contract.\nint a;\n", "int b;\n"])
        self.assertEqual(1, result.returncode)
        self.assertIn("H1.h:1: error", result.stdout)
        self.assertNotIn("H0.h", result.stdout)
        self.assertEqual(0, run_check(["// Contract.\nint a;\n"]).returncode)


if __name__ == "__main__":
    unittest.main()
