'use strict';
// CPU time from /proc, for the measurements that start a browser: what one
// process has spent, and what a process and every process under it have
// spent (a browser's renderer, GPU, network and other processes).
const fs = require('node:fs');

const clockTicks = Number(require('node:child_process').execFileSync('getconf', ['CLK_TCK'])); // /proc's unit of time

// Each process as [pid, parent, CPU seconds of its own and of the children it reaped].
function processes() {
  const found = [];
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    let text;
    try {
      text = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
    } catch {
      continue; // gone meanwhile
    }
    const fields = text.slice(text.lastIndexOf(')') + 2).split(' ');
    const ticks = Number(fields[11]) + Number(fields[12]) + Number(fields[13]) + Number(fields[14]);
    found.push([Number(name), Number(fields[1]), ticks / clockTicks]);
  }
  return found;
}

// CPU seconds spent by `pid` and every process under it.
function treeSeconds(pid) {
  const all = processes();
  const tree = new Set([pid]);
  for (let grew = true; grew;) {
    grew = false;
    for (const [child, parent] of all) {
      if (tree.has(parent) && !tree.has(child)) {
        tree.add(child);
        grew = true;
      }
    }
  }
  return all.filter(([one]) => tree.has(one)).reduce((sum, [, , seconds]) => sum + seconds, 0);
}

function ownSeconds(pid) {
  const found = processes().find(([one]) => one === pid);
  return found ? found[2] : 0;
}

module.exports = { ownSeconds, treeSeconds };
