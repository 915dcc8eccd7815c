// Lints the report pages' scripts (plain browser scripts that share one page
// scope) and the browser tests (ES modules run by node).
import js from "@eslint/js";
import globals from "globals";

export default [
  js.configs.recommended,
  {
    files: ["**/assets/*.js"],
    languageOptions: {
      sourceType: "script",
      globals: { ...globals.browser },
    },
    rules: {
      // The page's scripts are concatenated into one document: names defined
      // in one file are used by another, and top-level functions are called
      // from markup.
      "no-undef": "off",
      "no-unused-vars": ["error", { vars: "local", args: "none" }],
      // The model pages define their own tree node class, Node.
      "no-redeclare": ["error", { builtinGlobals: false }],
    },
  },
  {
    files: ["**/*.mjs"],
    languageOptions: { sourceType: "module", globals: { ...globals.node, ...globals.browser } },
    // Functions passed to page.evaluate run in the page and use its globals.
    rules: { "no-undef": "off" },
  },
];
