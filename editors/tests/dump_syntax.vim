" SPDX-License-Identifier: MIT
" Run on a loaded buffer: writes to g:dump_output the buffer's filetype and options, then for
" every character its line, its column in characters and the chain of highlight groups of the
" syntax item there (item>link>link...), tab-separated.

let s:chains = {}

function! s:Chain(id) abort
  if !has_key(s:chains, a:id)
    let chain = [synIDattr(a:id, 'name')]
    while len(chain) < 10
      let link = matchstr(execute('highlight ' . chain[-1]), 'links to \zs\S\+')
      if link ==# ''
        break
      endif
      call add(chain, link)
    endwhile
    let s:chains[a:id] = join(chain, '>')
  endif
  return s:chains[a:id]
endfunction

let s:out = ['filetype=' . &filetype, 'syntax=' . get(b:, 'current_syntax', ''),
      \ 'commentstring=' . &commentstring, 'expandtab=' . &expandtab,
      \ 'shiftwidth=' . &shiftwidth]
for s:lnum in range(1, line('$'))
  let s:text = getline(s:lnum)
  for s:i in range(strchars(s:text))
    let s:id = synID(s:lnum, byteidx(s:text, s:i) + 1, 1)
    call add(s:out, s:lnum . "\t" . (s:i + 1) . "\t" . (s:id ? s:Chain(s:id) : ''))
  endfor
endfor
call writefile(s:out, g:dump_output)
