// Loads src/web/console_logic.js the way the page does, as a classic
// script, into a context of its own, and returns what it defines
// (ConsoleLogic). The context has no window, document, fetch or storage:
// a logic module that reached for one would fail here.
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { fileURLToPath } from 'node:url';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const LOGIC_FILE = path.join(ROOT, 'src/web/console_logic.js');

export function loadLogic() {
  const sandbox = { URL };
  vm.createContext(sandbox);
  vm.runInContext(fs.readFileSync(LOGIC_FILE, 'utf8'), sandbox, { filename: LOGIC_FILE });
  return sandbox.ConsoleLogic;
}
