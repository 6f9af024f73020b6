#!/usr/bin/env python3
"""Writes a tiny llama-architecture GGUF model with random weights.

The vocabulary is byte-level: <unk>, <s>, </s>, the 256 byte tokens <0x00>..<0xFF>
and the space marker. The output rows of the three special tokens are zero, so
with random weights an ordinary byte always has the larger logit and greedy
generation never ends on its own. The text it produces is meaningless; the
model exists to run the real load, tokenise, decode, logits and piece path.

Usage: make_tiny_llama_gguf.py OUT.gguf [--embd N] [--layers N] [--ff N] [--heads N] [--ctx N] [--seed N]
"""
import argparse
import sys

import numpy as np
import gguf


def main():
    p = argparse.ArgumentParser()
    p.add_argument("out")
    p.add_argument("--embd", type=int, default=64)
    p.add_argument("--layers", type=int, default=2)
    p.add_argument("--ff", type=int, default=128)
    p.add_argument("--heads", type=int, default=4)
    p.add_argument("--ctx", type=int, default=4096)
    p.add_argument("--seed", type=int, default=1234)
    a = p.parse_args()

    tokens = [b"<unk>", b"<s>", b"</s>"]
    types = [gguf.TokenType.UNKNOWN, gguf.TokenType.CONTROL, gguf.TokenType.CONTROL]
    for b in range(256):
        tokens.append(("<0x%02X>" % b).encode())
        types.append(gguf.TokenType.BYTE)
    tokens.append("\u2581".encode())
    types.append(gguf.TokenType.NORMAL)
    n_vocab = len(tokens)
    scores = [0.0] * n_vocab

    head_dim = a.embd // a.heads
    w = gguf.GGUFWriter(a.out, "llama")
    w.add_name("tiny-random-llama")
    w.add_context_length(a.ctx)
    w.add_embedding_length(a.embd)
    w.add_block_count(a.layers)
    w.add_feed_forward_length(a.ff)
    w.add_head_count(a.heads)
    w.add_head_count_kv(a.heads)
    w.add_rope_dimension_count(head_dim)
    w.add_layer_norm_rms_eps(1e-5)
    w.add_vocab_size(n_vocab)
    w.add_file_type(gguf.LlamaFileType.ALL_F32)

    w.add_tokenizer_model("llama")
    w.add_token_list(tokens)
    w.add_token_scores(scores)
    w.add_token_types(types)
    w.add_unk_token_id(0)
    w.add_bos_token_id(1)
    w.add_eos_token_id(2)
    w.add_add_bos_token(True)
    w.add_add_eos_token(False)
    w.add_add_space_prefix(False)

    rng = np.random.default_rng(a.seed)

    def rand(*shape):
        # Scaled so that activations stay of order one through the layers.
        return (rng.standard_normal(shape) / np.sqrt(shape[-1])).astype(np.float32)

    ones = np.ones(a.embd, dtype=np.float32)
    w.add_tensor("token_embd.weight", rand(n_vocab, a.embd) * np.float32(np.sqrt(a.embd)))
    for i in range(a.layers):
        w.add_tensor("blk.%d.attn_norm.weight" % i, ones)
        w.add_tensor("blk.%d.attn_q.weight" % i, rand(a.embd, a.embd))
        w.add_tensor("blk.%d.attn_k.weight" % i, rand(a.embd, a.embd))
        w.add_tensor("blk.%d.attn_v.weight" % i, rand(a.embd, a.embd))
        w.add_tensor("blk.%d.attn_output.weight" % i, rand(a.embd, a.embd))
        w.add_tensor("blk.%d.ffn_norm.weight" % i, ones)
        w.add_tensor("blk.%d.ffn_gate.weight" % i, rand(a.ff, a.embd))
        w.add_tensor("blk.%d.ffn_up.weight" % i, rand(a.ff, a.embd))
        w.add_tensor("blk.%d.ffn_down.weight" % i, rand(a.embd, a.ff))
    w.add_tensor("output_norm.weight", ones)
    out = rand(n_vocab, a.embd) * np.float32(4.0)
    out[0:3, :] = 0.0
    w.add_tensor("output.weight", out)

    w.write_header_to_file()
    w.write_kv_data_to_file()
    w.write_tensors_to_file()
    w.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
