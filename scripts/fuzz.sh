#!/usr/bin/env bash
echo "fuzz: no targets yet"
